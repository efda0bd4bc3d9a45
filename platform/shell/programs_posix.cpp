#include "platform/runtime/binary_file.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/shell/elf_image.h"
#include "platform/shell/programs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace shell {

namespace {

using runtime::RuntimeError;
namespace error = runtime::error;

// The system names a running program by its file's own path ("/proc/self/exe"), every link
// resolved. Nothing here runs with rights its user has not, so nothing needs holding.
class PosixProgramFolder : public ProgramFolder {
public:
    PosixProgramFolder()
    {
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        m_path = self.parent_path().u16string();
        m_startedByFinalPath = !error;
    }
    const std::u16string& path() const override { return m_path; }
    bool startedByFinalPath() const override { return m_startedByFinalPath; }

private:
    std::u16string m_path;
    bool m_startedByFinalPath = false;
};

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
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The programs of a POSIX desktop.
class PosixPrograms : public Programs {
public:
    bool offersElevation() const override { return false; }

    std::optional<int> runElevated(std::u16string_view, const std::function<void()>&) override
    {
        return std::nullopt;  // a desktop user's program is not given an administrator's rights
    }

    void startProgram(const std::u16string& path) override
    {
        const std::string native = runtime::nativePath(path);
        if (::access(native.c_str(), X_OK) != 0 || !spawnDetached(native, {}, false))
            throw RuntimeError(error::kFileNotFound);
    }

    void openDocument(const std::u16string& address) override
    {
        spawnDetached("xdg-open", {runtime::toUtf8(address)}, true);
    }

    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

    bool isProgramRunning(const std::u16string& path) override
    {
        struct stat program {};
        if (::stat(runtime::nativePath(path).c_str(), &program) != 0)
            return errno != ENOENT;
        // Each process's "exe" link leads to the very file it runs; a process of another user
        // cannot be looked at, and could not hold this user's program open for writing either.
        std::error_code error;
        std::filesystem::directory_iterator processes("/proc", error);
        if (error)
            return true;
        for (const auto& entry : processes) {
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
};

}  // namespace

std::unique_ptr<Programs> systemPrograms()
{
    return std::make_unique<PosixPrograms>();
}

bool isWholeProgram(InputFile& file)
{
    std::array<std::byte, 2> head{};
    if (file.readAt(0, head) && head[0] == std::byte{'#'} && head[1] == std::byte{'!'})
        return true;
    return isWholeElfProgram(
        file.size(), [&](std::uint64_t offset, std::span<std::byte> into) { return file.readAt(offset, into); });
}

std::unique_ptr<ProgramFolder> holdProgramFolder()
{
    return std::make_unique<PosixProgramFolder>();
}

void loadLibrariesFromSystemOnly() {}

}  // namespace shell
