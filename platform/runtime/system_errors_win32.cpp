#include "platform/runtime/system_errors.h"

#include <windows.h>

namespace runtime {

FileProblem fileProblemOf(unsigned long code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return FileProblem::NoAccess;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return FileProblem::InUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileProblem::DiskFull;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return FileProblem::Missing;
    default: return FileProblem::Other;
    }
}

}  // namespace runtime
