#pragma once

#include "platform/runtime/runtime_error.h"

namespace runtime {

// What a failed file call's system error code (errno on POSIX, GetLastError() on Windows) means
// to the user of the file.
FileProblem fileProblemOf(unsigned long code);

}  // namespace runtime
