#include "platform/runtime/runtime_error.h"

#include "platform/runtime/text.h"

namespace runtime {

std::u16string standardDescription(int number)
{
    switch (number) {
    case error::kInvalidProcedureCall: return u"Invalid procedure call or argument";
    case error::kOverflow: return u"Overflow";
    case error::kTypeMismatch: return u"Type mismatch";
    case error::kErrorInLoadingDll: return u"Error in loading DLL";
    case error::kBadFileNameOrNumber: return u"Bad file name or number";
    case error::kFileNotFound: return u"File not found";
    case error::kDeviceIoError: return u"Device I/O error";
    case error::kDiskFull: return u"Disk full";
    case error::kPermissionDenied: return u"Permission denied";
    case error::kPathFileAccessError: return u"Path/File access error";
    case error::kPathNotFound: return u"Path not found";
    case error::kControlArrayElementMissing: return u"Control array element doesn't exist";
    case error::kSetNotSupported: return u"Set not supported (read-only property)";
    case error::kObjectDoesNotSupport: return u"Object doesn't support this property or method";
    case error::kWrongNumberOfArguments: return u"Wrong number of arguments or invalid property assignment";
    default: return u"Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, standardDescription(number)) {}

RuntimeError::RuntimeError(int number, std::u16string description)
    : std::runtime_error(toUtf8(description)), m_number(number), m_description(std::move(description))
{
}

FileError::FileError(int number, FileProblem problem, std::u16string path)
    : RuntimeError(number), m_problem(problem), m_path(std::move(path))
{
}

RuntimeError controlArrayElementMissing(int index)
{
    return RuntimeError(error::kControlArrayElementMissing,
                        u"Control array element '" + fromUtf8(std::to_string(index)) + u"' doesn't exist");
}

}  // namespace runtime
