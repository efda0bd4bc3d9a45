#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Programs of the system the tests run on, for the update procedure's checks: whole ones,
// and files that only look like one.
namespace test_programs {

// A whole program of this system whose bytes hold `tag` (a "#!" script on Linux, a PE image
// on Windows), about `size` bytes long at least.
std::string wholeProgram(std::string_view tag, std::size_t size = 0);

// A real program of this system, which any cut spoils.
std::string realProgram();

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
