#include "platform/runtime/system_errors.h"

#include <cerrno>

namespace runtime {

FileProblem fileProblemOf(unsigned long code)
{
    switch (static_cast<int>(code)) {
    case EACCES:
    case EPERM:
    case EROFS: return FileProblem::NoAccess;
    case EBUSY:
    case ETXTBSY: return FileProblem::InUse;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileProblem::DiskFull;
    case EISDIR: return FileProblem::Folder;
    case ENOENT:
    case ENOTDIR: return FileProblem::Missing;
    default: return FileProblem::Other;
    }
}

}  // namespace runtime
