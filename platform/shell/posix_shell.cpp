#include "platform/runtime/binary_file.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/shell/elf_image.h"
#include "platform/shell/shell.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <unistd.h>

namespace shell {

namespace {

using runtime::RuntimeError;
namespace error = runtime::error;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
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
    case EPERM: return error::kPermissionDenied;
    case EIO: return error::kDeviceIoError;
    default: return error::kPathFileAccessError;
    }
}

bool copyContents(int from, int to)
{
    char buffer[64 * 1024];
    for (;;) {
        const auto got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t done = 0; done < got;) {
            const auto written = ::write(to, buffer + done, static_cast<std::size_t>(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                return false;
            done += written;
        }
    }
}

// Starts a program detached from this process: it is not waited for, outlives the updater and
// leaves no zombie behind (the intermediate child exits at once and is reaped here).
bool spawnDetached(const std::string& program, const std::vector<std::string>& args, bool search)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            if (search)
                ::execvp(argv[0], argv.data());
            else
                ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void replaceAtomically(const std::filesystem::path& target, unsigned newMode, const std::function<bool(int)>& fill)
{
    auto mode = static_cast<mode_t>(newMode);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0)
        mode = info.st_mode & 07777;

    const std::string temporary = target.string() + ".new-" + std::to_string(::getpid());
    Descriptor output(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (output.get() < 0)
        throw RuntimeError(fileError(errno));
    const auto fail = [&](int errnoValue) {
        ::unlink(temporary.c_str());
        throw RuntimeError(fileError(errnoValue));
    };
    if (!fill(output.get()))
        fail(errno);
    if (::fchmod(output.get(), mode) != 0 || ::fsync(output.get()) != 0)
        fail(errno);
    if (::close(output.release()) != 0)
        fail(errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        fail(errno);
    // The rename is done and cannot be taken back; a folder that refuses the flush (some
    // network file systems do) keeps it all the same.
    const std::string folder = target.parent_path().string();
    const Descriptor directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view contents)
{
    replaceAtomically(target, 0644, [&](int output) {
        for (std::string_view rest = contents; !rest.empty();) {
            const auto written = ::write(output, rest.data(), rest.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                return false;
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    });
}

void PosixShell::deleteFile(const std::u16string& path)
{
    const std::string native = runtime::nativePath(path);
    struct stat info {};
    if (::lstat(native.c_str(), &info) != 0)
        throw RuntimeError(error::kFileNotFound);
    if (S_ISDIR(info.st_mode))
        throw RuntimeError(error::kFileNotFound);
    if (::unlink(native.c_str()) != 0)
        throw RuntimeError(fileError(errno));
}

void PosixShell::replaceFile(const std::u16string& source, const std::u16string& target)
{
    const Descriptor input(::open(runtime::nativePath(source).c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0)
        throw RuntimeError(fileError(errno));
    replaceAtomically(runtime::nativePath(target), 0755, [&](int output) { return copyContents(input.get(), output); });
}

void PosixShell::writeFile(const std::u16string& path, const std::string& contents)
{
    writeFileAtomically(runtime::nativePath(path), contents);
}

void PosixShell::startProgram(const std::u16string& path)
{
    const std::string native = runtime::nativePath(path);
    if (::access(native.c_str(), X_OK) != 0 || !spawnDetached(native, {}, false))
        throw RuntimeError(error::kFileNotFound);
}

void PosixShell::openDocument(const std::u16string& address)
{
    spawnDetached("xdg-open", {runtime::toUtf8(address)}, true);
}

void PosixShell::sleep(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

std::optional<std::int64_t> PosixShell::fileSize(const std::u16string& path)
{
    struct stat info {};
    if (::stat(runtime::nativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return info.st_size;
}

bool PosixShell::isWholeProgram(const std::u16string& path)
{
    const Descriptor file(::open(runtime::nativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    char head[2] = {};
    if (::pread(file.get(), head, sizeof head, 0) == 2 && head[0] == '#' && head[1] == '!')
        return true;
    return isWholeElfProgram(static_cast<std::uint64_t>(info.st_size), [&](std::uint64_t offset, std::span<std::byte> into) {
        return ::pread(file.get(), into.data(), into.size(), static_cast<off_t>(offset))
               == static_cast<ssize_t>(into.size());
    });
}

bool PosixShell::isProgramRunning(const std::u16string& path)
{
    struct stat program {};
    if (::stat(runtime::nativePath(path).c_str(), &program) != 0)
        return false;
    // Each process's "exe" link leads to the very file it runs; a process of another user
    // cannot be looked at, and could not hold this user's program open for writing either.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        struct stat running {};
        if (::stat((entry.path() / "exe").c_str(), &running) == 0 && running.st_dev == program.st_dev
            && running.st_ino == program.st_ino)
            return true;
    }
    return false;
}

}  // namespace shell
