#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// Programs of the system the tests run on, for the update procedure's checks: whole ones,
// and files that only look like one.
namespace test_programs {

// A whole program of this system whose bytes hold `tag` (a "#!" script on Linux, a PE image
// on Windows), about `size` bytes long at least.
std::string wholeProgram(std::string_view tag, std::size_t size = 0);

// A real program of this system, which any cut spoils.
std::string realProgram();

// A real program of this system that starts, does nothing to be seen and ends.
std::string startableProgram();

// Whether the tests run on Windows (or under Wine).
bool onWindows();

// Whether files here carry permission bits (POSIX) or not (Windows).
bool filesHavePermissions();

// A folder of its own for the running test, under the system's temporary folder, named after
// `name` and the test.
std::filesystem::path testFolder(std::u16string_view name);

// A copy of a real program of this system at `path`, started and running until destroyed.
class RunningProgram {
public:
    explicit RunningProgram(const std::filesystem::path& path);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

private:
    std::intptr_t m_process = 0;
    std::intptr_t m_input = 0;  // what the program waits on, where it waits on input
};

// Runs `command` in the shell of the machine the tests run on, whose tools it may name: under
// Wine the Unix machine's (for tools only that side has, such as minisign). Its exit status.
int runOnHost(const std::string& command);
// `path` as the shell of runOnHost names it (under Wine its Unix path).
std::string hostPath(const std::filesystem::path& path);

// Removes a folder and all it holds, also beyond MAX_PATH on Windows.
void removeFolder(const std::filesystem::path& folder);

// Makes `link` lead to `target` the way a user of this system can without privileges: a
// symbolic link on POSIX, a hard link on Windows.
void linkTo(const std::filesystem::path& target, const std::filesystem::path& link);

// A file opened by a holder that shares it with no one, as a scanner holds one, until destroyed
// or, given `release`, for that long (the holder lets go on a thread of its own). Only Windows
// holds files so: elsewhere held() is false and nothing is held.
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path, std::optional<std::chrono::milliseconds> release = {});
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return m_handle != 0; }

private:
    std::intptr_t m_handle = 0;
    std::thread m_releaser;
};

// A small file system of `size` mounted on `folder` while it lives (Linux, as root); false from
// mounted() where there is none.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, const char* size);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
};

}  // namespace test_programs
