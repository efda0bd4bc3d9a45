#include "platform/runtime/binary_file.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/system_errors.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace runtime {

namespace {

int openError(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return error::kPathNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return error::kPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return error::kDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return error::kBadFileNameOrNumber;
    default: return error::kPathFileAccessError;
    }
}

int writeError(DWORD code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return error::kDiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION: return error::kPermissionDenied;
    default: return error::kDeviceIoError;
    }
}

HANDLE handleOf(std::intptr_t file)
{
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

std::filesystem::path nativePath(std::u16string_view path)
{
    std::wstring native(reinterpret_cast<const wchar_t*>(path.data()), path.size());
    // A path beyond MAX_PATH reaches the file system only in its extended form, whatever the
    // system's long-path setting: made whole first, for that form takes every part literally.
    constexpr std::size_t kLongestPlainPath = MAX_PATH - 12;  // what CreateDirectory still takes
    if (native.size() < kLongestPlainPath || native.starts_with(LR"(\\?\)"))
        return native;
    std::wstring whole(native.size() + MAX_PATH, L'\0');
    const DWORD length = ::GetFullPathNameW(native.c_str(), static_cast<DWORD>(whole.size()), whole.data(), nullptr);
    if (length == 0 || length >= whole.size())
        return native;
    whole.resize(length);
    if (whole.starts_with(LR"(\\)"))
        return LR"(\\?\UNC\)" + whole.substr(2);
    return LR"(\\?\)" + whole;
}

std::int32_t fileLength(std::u16string_view path)
{
    if (path.empty())
        throw RuntimeError(error::kBadFileNameOrNumber);
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExW(nativePath(path).c_str(), GetFileExInfoStandard, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        throw RuntimeError(error::kFileNotFound);
    const auto size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw RuntimeError(error::kOverflow);
    return static_cast<std::int32_t>(size);
}

BinaryFile::BinaryFile(std::u16string_view path) : m_path(path)
{
    if (path.empty())
        throw RuntimeError(error::kPathFileAccessError);
    const HANDLE file = ::CreateFileW(nativePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A folder of that name refuses to be opened for writing.
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(nativePath(path).c_str());
        if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES
            && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            throw FileError(error::kPathFileAccessError, FileProblem::Folder, m_path);
        throw FileError(openError(code), fileProblemOf(code), m_path);
    }
    m_file = reinterpret_cast<std::intptr_t>(file);
    m_buffer.reserve(kWriteBufferSize);
}

BinaryFile::~BinaryFile()
{
    if (m_file != -1) {
        try {
            flush();
        } catch (const RuntimeError&) {
            // The destructor only releases; a caller that needs the outcome calls close().
        }
        ::CloseHandle(handleOf(m_file));
    }
}

void BinaryFile::seek(std::int64_t offset)
{
    flush();
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    if (!::SetFilePointerEx(handleOf(m_file), position, nullptr, FILE_BEGIN))
        raiseWriteError(::GetLastError());
    m_position = offset;
}

void BinaryFile::truncateHere()
{
    flush();
    LARGE_INTEGER position{};
    position.QuadPart = m_position;
    if (!::SetFilePointerEx(handleOf(m_file), position, nullptr, FILE_BEGIN) || !::SetEndOfFile(handleOf(m_file)))
        raiseWriteError(::GetLastError());
}

void BinaryFile::close()
{
    if (m_file == -1)
        return;
    flush();
    const HANDLE file = handleOf(m_file);
    m_file = -1;
    if (!::CloseHandle(file))
        raiseWriteError(::GetLastError());
}

void BinaryFile::raiseWriteError(unsigned long code) const
{
    throw FileError(writeError(code), fileProblemOf(code), m_path);
}

std::size_t BinaryFile::writeOnce(std::span<const std::byte> bytes)
{
    // At the file's own position, which seek() set and each write advances: a write at an
    // explicit offset costs Wine a call to its server each time.
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!::WriteFile(handleOf(m_file), bytes.data(), chunk, &written, nullptr))
        raiseWriteError(::GetLastError());
    if (written == 0)
        raiseWriteError(ERROR_DISK_FULL);  // nothing taken: no room for it
    return written;
}

}  // namespace runtime
