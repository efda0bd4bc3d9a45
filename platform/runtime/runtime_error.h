#pragma once

#include <stdexcept>
#include <string>

namespace runtime {

// Numbers of the run-time errors this system raises: the run-time's own numbers, which callers
// and stored files compare against.
namespace error {
inline constexpr int kInvalidProcedureCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kErrorInLoadingDll = 48;
inline constexpr int kBadFileNameOrNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kControlArrayElementMissing = 340;
inline constexpr int kSetNotSupported = 383;
inline constexpr int kObjectDoesNotSupport = 438;
inline constexpr int kWrongNumberOfArguments = 450;
}  // namespace error

// A run-time error: the run-time's number and description. Code that "traps"
// errors catches this type; everything else lets it pass to its caller.
class RuntimeError : public std::runtime_error {
public:
    // Uses the run-time's standard description for `number`.
    explicit RuntimeError(int number);
    RuntimeError(int number, std::u16string description);

    int number() const noexcept { return m_number; }
    const std::u16string& description() const noexcept { return m_description; }

private:
    int m_number;
    std::u16string m_description;
};

// What kept a file from being used, as a message to the user names it.
enum class FileProblem {
    NoAccess,  // the user may not read or write it
    InUse,     // another program holds it
    DiskFull,
    Folder,  // a folder lies in the file's place
    Missing,
    Other,
};

// A run-time file error (number and description as RuntimeError) that also says which file and
// what kept it from use: the file is named in the path form the caller gave.
class FileError : public RuntimeError {
public:
    FileError(int number, FileProblem problem, std::u16string path);

    FileProblem problem() const noexcept { return m_problem; }
    const std::u16string& path() const noexcept { return m_path; }

private:
    FileProblem m_problem;
    std::u16string m_path;
};

// The run-time's standard description of an error number ("Overflow" for 6); a generic text
// for numbers it does not know.
std::u16string standardDescription(int number);

// Error 340 as the run-time words it for one missing element of a control array.
RuntimeError controlArrayElementMissing(int index);

}  // namespace runtime
