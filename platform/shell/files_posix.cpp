#include "platform/runtime/binary_file.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/system_errors.h"
#include "platform/shell/files.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace shell {

namespace {

using runtime::FileError;
using runtime::FileProblem;
using runtime::RuntimeError;
namespace error = runtime::error;

constexpr mode_t kProgramMode = 0755;
constexpr mode_t kTextMode = 0644;
constexpr std::string_view kStageInfix = ".new-";  // a stage is "<target>.new-<pid>"

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

int fileError(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT: return error::kFileNotFound;
    case ENOTDIR: return error::kPathNotFound;
    case ENOSPC:
    case EDQUOT: return error::kDiskFull;
    case EBUSY:
    case ETXTBSY:
    case EPERM:
    case EACCES: return error::kPermissionDenied;
    case EIO: return error::kDeviceIoError;
    default: return error::kPathFileAccessError;
    }
}

// The file error of `path` for the system's `errnoValue`.
[[noreturn]] void raise(int errnoValue, const std::filesystem::path& path)
{
    throw FileError(fileError(errnoValue), runtime::fileProblemOf(static_cast<unsigned long>(errnoValue)),
                    path.u16string());
}

class PosixInputFile : public InputFile {
public:
    PosixInputFile(int fd, const struct stat& info)
        : m_fd(fd), m_size(static_cast<std::uint64_t>(info.st_size)), m_mode(info.st_mode & 07777)
    {
    }
    std::uint64_t size() const override { return m_size; }
    bool readAt(std::uint64_t offset, std::span<std::byte> into) override
    {
        while (!into.empty()) {
            const auto got = ::pread(m_fd.get(), into.data(), into.size(), static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            into = into.subspan(static_cast<std::size_t>(got));
            offset += static_cast<std::uint64_t>(got);
        }
        return true;
    }
    mode_t mode() const { return m_mode; }

private:
    Descriptor m_fd;
    std::uint64_t m_size;
    mode_t m_mode;
};

bool writeAll(int fd, std::span<const std::byte> bytes)
{
    while (!bytes.empty()) {
        const auto written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Flushes the folder that holds `path`, so that a rename in it outlives a power cut. A file
// system that cannot flush folders says so with EINVAL or ENOTSUP; any other failure counts.
void flushFolderOf(const std::filesystem::path& path)
{
    const std::string folder = path.parent_path().string();
    const Descriptor directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() < 0)
        raise(errno, path.parent_path());
    if (::fsync(directory.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        raise(errno, path.parent_path());
}

class PosixStagedFile : public StagedFile {
public:
    // Creates the stage of `target`, empty, readable and writable by this process alone.
    explicit PosixStagedFile(std::filesystem::path target)
        : m_target(std::move(target)), m_path(m_target.string() + std::string(kStageInfix) + std::to_string(::getpid()))
    {
        // A folder in the target's place could never be replaced: say so before anything else
        // of the caller's changes.
        struct stat existing {};
        if (::lstat(m_target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
            throw FileError(error::kPathFileAccessError, FileProblem::Folder, m_target.u16string());
        ::unlink(m_path.c_str());  // a stage of an earlier process that had this pid
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0)
            raise(errno, m_target);
    }
    ~PosixStagedFile() override
    {
        m_contents.reset();
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed)
            ::unlink(m_path.c_str());
    }
    PosixStagedFile(const PosixStagedFile&) = delete;
    PosixStagedFile& operator=(const PosixStagedFile&) = delete;

    void fill(std::span<const std::byte> bytes)
    {
        if (!writeAll(m_fd, bytes))
            fail(errno);
    }
    // Gives the stage its permissions and puts its bytes on the disk. The stage is read back
    // through a descriptor that cannot write: a program is not started while a file of its
    // image is open for writing.
    void finish(mode_t mode)
    {
        struct stat info {};
        if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0 || ::fstat(m_fd, &info) != 0)
            fail(errno);
        const int reading = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (reading < 0)
            fail(errno);
        ::close(m_fd);
        m_fd = -1;
        m_contents = std::make_unique<PosixInputFile>(reading, info);
    }

    InputFile& contents() override { return *m_contents; }

    void commit() override
    {
        if (m_committed)
            return;
        if (::rename(m_path.c_str(), m_target.c_str()) != 0)
            raise(errno, m_target);
        m_committed = true;
        flushFolderOf(m_target);
    }
    bool committed() const override { return m_committed; }

private:
    [[noreturn]] void fail(int errnoValue)
    {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_path.c_str());
        raise(errnoValue, m_target);
    }

    std::filesystem::path m_target;
    std::string m_path;
    int m_fd = -1;
    std::unique_ptr<PosixInputFile> m_contents;
    bool m_committed = false;
};

std::unique_ptr<PosixStagedFile> stageOf(const std::filesystem::path& target, std::span<const std::byte> contents,
                                         mode_t mode)
{
    auto stage = std::make_unique<PosixStagedFile>(target);
    stage->fill(contents);
    stage->finish(mode);
    return stage;
}

// The permissions a new text file takes: those of the file it replaces, if any.
mode_t textModeFor(const std::filesystem::path& target)
{
    struct stat info {};
    return ::stat(target.c_str(), &info) == 0 ? info.st_mode & 07777 : kTextMode;
}

class PosixFolderLock : public FolderLock {
public:
    explicit PosixFolderLock(int fd) : m_fd(fd) {}

private:
    Descriptor m_fd;  // the lock goes with the descriptor
};

// The files of a POSIX desktop.
class PosixFiles : public Files {
public:
    void deleteFile(const std::u16string& path) override
    {
        const std::string native = runtime::nativePath(path);
        struct stat info {};
        if (::lstat(native.c_str(), &info) != 0)
            raise(errno, native);
        if (S_ISDIR(info.st_mode))
            throw FileError(error::kFileNotFound, FileProblem::Folder, path);
        if (::unlink(native.c_str()) != 0)
            raise(errno, native);
    }

    std::unique_ptr<InputFile> openFile(const std::u16string& path) override
    {
        const std::filesystem::path native = runtime::nativePath(path);
        Descriptor file(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.get() < 0 && errno == ENOENT)
            return nullptr;
        struct stat info {};
        if (file.get() < 0 || ::fstat(file.get(), &info) != 0)
            raise(errno, native);
        if (!S_ISREG(info.st_mode))
            throw FileError(error::kPathFileAccessError,
                            S_ISDIR(info.st_mode) ? FileProblem::Folder : FileProblem::Other, path);
        return std::make_unique<PosixInputFile>(file.release(), info);
    }

    std::unique_ptr<StagedFile> stageCopy(InputFile& source, const std::u16string& target,
                                          InputFile* permissionsOf) override
    {
        const auto* like = dynamic_cast<PosixInputFile*>(permissionsOf);
        auto stage = std::make_unique<PosixStagedFile>(runtime::nativePath(target));
        readInPieces(source, [&](std::span<const std::byte> piece) { stage->fill(piece); });
        stage->finish(like ? like->mode() : kProgramMode);
        return stage;
    }

    std::unique_ptr<StagedFile> stageText(std::string_view contents, const std::u16string& target) override
    {
        const std::filesystem::path native = runtime::nativePath(target);
        return stageOf(native, std::as_bytes(std::span(contents)), textModeFor(native));
    }

    void removeStaleStages(const std::u16string& target) override
    {
        const std::filesystem::path native = runtime::nativePath(target);
        const std::string prefix = native.filename().string() + std::string(kStageInfix);
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(native.parent_path(), error)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > prefix.size() && name.starts_with(prefix)
                && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                               [](char c) { return c >= '0' && c <= '9'; }))
                ::unlink(entry.path().c_str());
        }
    }

    std::unique_ptr<FolderLock> lockFolder(const std::u16string& folder) override
    {
        const std::filesystem::path native = runtime::nativePath(folder);
        Descriptor directory(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.get() < 0)
            raise(errno, native);
        while (::flock(directory.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                return nullptr;
            if (errno != EINTR)
                raise(errno, native);
        }
        return std::make_unique<PosixFolderLock>(directory.release());
    }

    bool canWriteIn(const std::u16string& folder) override
    {
        const std::filesystem::path probe =
            runtime::nativePath(folder) / (".updatelirvane-probe-" + std::to_string(::getpid()));
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return errno != EACCES && errno != EPERM && errno != EROFS;
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }
};

}  // namespace

std::unique_ptr<Files> systemFiles()
{
    return std::make_unique<PosixFiles>();
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view contents)
{
    stageOf(target, std::as_bytes(std::span(contents)), textModeFor(target))->commit();
}

}  // namespace shell
