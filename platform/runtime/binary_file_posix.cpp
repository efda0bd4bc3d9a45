#include "platform/runtime/binary_file.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/system_errors.h"
#include "platform/runtime/text.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace runtime {

namespace {

int openError(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR: return error::kPathNotFound;
    case ETXTBSY:
    case EBUSY: return error::kPermissionDenied;
    case ENOSPC:
    case EDQUOT: return error::kDiskFull;
    case ENAMETOOLONG: return error::kBadFileNameOrNumber;
    default: return error::kPathFileAccessError;
    }
}

int writeError(int errnoValue)
{
    switch (errnoValue) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return error::kDiskFull;
    case EACCES:
    case EPERM: return error::kPermissionDenied;
    default: return error::kDeviceIoError;
    }
}

}  // namespace

std::filesystem::path nativePath(std::u16string_view path)
{
    return toUtf8(path);
}

std::int32_t fileLength(std::u16string_view path)
{
    if (path.empty())
        throw RuntimeError(error::kBadFileNameOrNumber);
    struct stat info {};
    if (::stat(nativePath(path).c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        throw RuntimeError(error::kFileNotFound);
    if (info.st_size > std::numeric_limits<std::int32_t>::max())
        throw RuntimeError(error::kOverflow);
    return static_cast<std::int32_t>(info.st_size);
}

BinaryFile::BinaryFile(std::u16string_view path) : m_path(path)
{
    if (path.empty())
        throw RuntimeError(error::kPathFileAccessError);
    m_file = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (m_file < 0) {
        const int code = errno;
        throw FileError(openError(code), fileProblemOf(static_cast<unsigned long>(code)), m_path);
    }
    struct stat info {};
    if (::fstat(static_cast<int>(m_file), &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(static_cast<int>(m_file));
        m_file = -1;
        throw FileError(error::kPathFileAccessError, FileProblem::Folder, m_path);
    }
    m_buffer.reserve(kWriteBufferSize);
}

BinaryFile::~BinaryFile()
{
    if (m_file >= 0) {
        try {
            flush();
        } catch (const RuntimeError&) {
            // The destructor only releases; a caller that needs the outcome calls close().
        }
        ::close(static_cast<int>(m_file));
    }
}

void BinaryFile::seek(std::int64_t offset)
{
    flush();
    m_position = offset;
}

void BinaryFile::truncateHere()
{
    flush();
    if (::ftruncate(static_cast<int>(m_file), m_position) != 0)
        raiseWriteError(static_cast<unsigned long>(errno));
}

void BinaryFile::close()
{
    if (m_file < 0)
        return;
    flush();
    const int fd = static_cast<int>(m_file);
    m_file = -1;
    if (::close(fd) != 0)
        raiseWriteError(static_cast<unsigned long>(errno));
}

void BinaryFile::raiseWriteError(unsigned long code) const
{
    throw FileError(writeError(static_cast<int>(code)), fileProblemOf(code), m_path);
}

std::size_t BinaryFile::writeOnce(std::span<const std::byte> bytes)
{
    for (;;) {
        const auto written =
            ::pwrite(static_cast<int>(m_file), bytes.data(), bytes.size(), static_cast<off_t>(m_position));
        if (written > 0)
            return static_cast<std::size_t>(written);
        if (written == 0)
            raiseWriteError(ENOSPC);  // nothing taken: no room for it
        if (errno != EINTR)
            raiseWriteError(static_cast<unsigned long>(errno));
    }
}

}  // namespace runtime
