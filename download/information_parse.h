#pragma once

#include "platform/runtime/boolean.h"

#include <cstdint>
#include <functional>
#include <string>

namespace internet_file {

// What the information request learns of a resource.
struct Information {
    runtime::Bool16 FileExists = runtime::False;
    std::int32_t FileSize = 0;
    std::u16string LastModified;
};

// Reads the raw header block of a HEAD answer (status line and header lines, each ended by
// CR LF, and whatever follows the block in the buffer) into `values`, in this order:
// LastModified (the first "last-modified: " in any case, its value up to CR LF, or "Not
// Available"), FileSize (the first "content-length: " as a 32-bit number, or -1), FileExists
// (False only for the status 404 or 410, whatever its reason). `yield` runs between the steps. Raises 13
// "Type mismatch" or 6 "Overflow" for a length that is no 32-bit number and 5 for a value
// without its line end; what was set before the error stays set.
void parseInformation(const std::u16string& headers, Information& values, const std::function<void()>& yield);

}  // namespace internet_file
