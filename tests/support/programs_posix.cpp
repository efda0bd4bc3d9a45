#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace test_programs {

std::string wholeProgram(std::string_view tag, std::size_t size)
{
    std::string script = "#!/bin/sh\necho " + std::string(tag) + "\n";
    if (script.size() < size)
        script += "#" + std::string(size - script.size() - 1, '#');
    return script;
}

std::string realProgram()
{
    std::ifstream in("/usr/bin/true", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string startableProgram()
{
    return realProgram();
}

bool onWindows()
{
    return false;
}

bool filesHavePermissions()
{
    return true;
}

std::filesystem::path testFolder(std::u16string_view name)
{
    // A parameterised test's name ("Name/3") would make the folder a subfolder, which the
    // test's removal of its folder leaves behind.
    std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', ' ');
    return std::filesystem::temp_directory_path()
           / std::filesystem::path(std::u16string(name) + u" " + std::filesystem::path(test).u16string() + u" "
                                   + std::filesystem::path(std::to_string(::getpid())).u16string());
}

RunningProgram::RunningProgram(const std::filesystem::path& path)
{
    std::filesystem::copy_file("/usr/bin/sleep", path, std::filesystem::copy_options::overwrite_existing);
    const std::string running = path.string();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(running.c_str(), "VelkoraLirvane.exe", "30", nullptr);
        ::_exit(127);
    }
    m_process = child;
    // Running once the exec has happened: the child's "exe" link then leads to the program.
    const std::filesystem::path exe = "/proc/" + std::to_string(child) + "/exe";
    std::error_code error;
    while (std::filesystem::read_symlink(exe, error) != path && !error) {}
}

RunningProgram::~RunningProgram()
{
    ::kill(static_cast<pid_t>(m_process), SIGKILL);
    ::waitpid(static_cast<pid_t>(m_process), nullptr, 0);
}

int runOnHost(const std::string& command)
{
    return std::system(command.c_str());
}

std::string hostPath(const std::filesystem::path& path)
{
    return path.string();
}

void removeFolder(const std::filesystem::path& folder)
{
    std::filesystem::remove_all(folder);
}

void linkTo(const std::filesystem::path& target, const std::filesystem::path& link)
{
    std::filesystem::create_symlink(target, link);
}

HeldFile::HeldFile(const std::filesystem::path&, std::optional<std::chrono::milliseconds>) {}

HeldFile::~HeldFile() = default;

SmallDisk::SmallDisk(const std::filesystem::path& folder, const char* size) : m_folder(folder)
{
    m_mounted =
        ::geteuid() == 0
        && std::system(("mount -t tmpfs -o size=" + std::string(size) + " tmpfs '" + folder.string() + "'").c_str())
               == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        (void)std::system(("umount '" + m_folder.string() + "'").c_str());
}

}  // namespace test_programs
