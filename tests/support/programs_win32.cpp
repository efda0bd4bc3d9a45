#include "tests/support/pe_builder.h"
#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace test_programs {

std::string wholeProgram(std::string_view tag, std::size_t size)
{
    std::size_t section = 512;
    while (0x200 + 2 * section < size)
        section += 512;
    auto image = pe_builder::build(true, false, section);
    std::memcpy(image.data() + 0x200, tag.data(), std::min(tag.size(), section));
    return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

std::string realProgram()
{
    return wholeProgram("a real program", 20000);
}

bool filesHavePermissions()
{
    return false;
}

std::filesystem::path testFolder(std::u16string_view name)
{
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    return std::filesystem::temp_directory_path()
           / std::filesystem::path(std::u16string(name) + u" " + std::filesystem::path(test).u16string() + u" "
                                   + std::filesystem::path(std::to_string(::GetCurrentProcessId())).u16string());
}

RunningProgram::RunningProgram(const std::filesystem::path& path)
{
    // The system's command processor, copied, waits on an input that never comes.
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::filesystem::copy_file(std::filesystem::path(system) / L"cmd.exe", path,
                               std::filesystem::copy_options::overwrite_existing);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ::CreatePipe(&read, &write, &inherit, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring command = L"VelkoraLirvane.exe /k";
    if (::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(process.hThread);
        m_process = reinterpret_cast<std::intptr_t>(process.hProcess);
    }
    ::CloseHandle(read);
    m_input = reinterpret_cast<std::intptr_t>(write);
}

RunningProgram::~RunningProgram()
{
    const auto process = reinterpret_cast<HANDLE>(m_process);
    if (process) {
        ::TerminateProcess(process, 0);
        ::WaitForSingleObject(process, INFINITE);
        ::CloseHandle(process);
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(m_input));
}

SmallDisk::SmallDisk(const std::filesystem::path& folder, const char*) : m_folder(folder) {}

SmallDisk::~SmallDisk() = default;

}  // namespace test_programs
