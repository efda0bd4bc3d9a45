#include "tests/support/pe_builder.h"
#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>

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

std::string startableProgram()
{
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::ifstream in(std::filesystem::path(system) / L"hostname.exe", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool onWindows()
{
    return true;
}

bool filesHavePermissions()
{
    return false;
}

std::filesystem::path testFolder(std::u16string_view name)
{
    // A parameterised test's name ("Name/3") would make the folder a subfolder, which the
    // test's removal of its folder leaves behind.
    std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', ' ');
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
    if (::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                         &process)) {
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

namespace {

// Wine's own conversions between the two systems' file names; nullptr on Windows itself.
using UnixName = char*(CDECL*)(LPCWSTR);
using DosName = WCHAR*(CDECL*)(LPCSTR);
template <typename Function>
Function wineFunction(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

std::string hostPath(const std::filesystem::path& path)
{
    static const auto unixName = wineFunction<UnixName>("wine_get_unix_file_name");
    if (!unixName)
        return path.string();
    char* name = unixName(std::filesystem::absolute(path).wstring().c_str());
    const std::string converted = name ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return converted;
}

int runOnHost(const std::string& command)
{
    static const auto dosName = wineFunction<DosName>("wine_get_dos_file_name");
    if (!dosName)
        return std::system(command.c_str());
    // Under Wine a Unix program starts as any other, but its end cannot be waited on: the shell
    // runs a script holding the command and leaves its status in a file of a folder of its own,
    // which is watched for it.
    static int count = 0;
    const auto folder = std::filesystem::temp_directory_path()
                        / ("host-command-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count));
    std::filesystem::create_directories(folder);
    const std::string unixFolder = hostPath(folder);
    std::ofstream(folder / "command.sh", std::ios::binary)
        << "PATH=/usr/local/bin:/usr/bin:/bin\n(\n"
        << command << "\n)\necho $? > '" << unixFolder << "/status.new'\nmv '" << unixFolder << "/status.new' '"
        << unixFolder << "/status'\n";
    const HANDLE changed = ::FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    WCHAR* shell = dosName("/bin/sh");
    std::wstring line = L"/bin/sh \"" + std::filesystem::path(unixFolder).wstring() + L"/command.sh\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    int status = 127;
    if (changed != INVALID_HANDLE_VALUE && shell
        && ::CreateProcessW(shell, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        while (!std::filesystem::exists(folder / "status") && ::WaitForSingleObject(changed, 60'000) == WAIT_OBJECT_0)
            ::FindNextChangeNotification(changed);
        std::ifstream(folder / "status") >> status;
    }
    ::FindCloseChangeNotification(changed);
    ::HeapFree(::GetProcessHeap(), 0, shell);
    std::filesystem::remove_all(folder);
    return status;
}

namespace {

// Deletes `path` (in the extended form, which reaches beyond MAX_PATH) and all it holds: the
// library's remove_all stops at a folder beyond MAX_PATH ("No such file or directory").
void removeTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring inner = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(inner);
            } else {
                ::SetFileAttributesW(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(inner.c_str());
            }
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}

}  // namespace

void removeFolder(const std::filesystem::path& folder)
{
    removeTree(LR"(\\?\)" + std::filesystem::absolute(folder).make_preferred().wstring());
}

void linkTo(const std::filesystem::path& target, const std::filesystem::path& link)
{
    std::filesystem::create_hard_link(target, link);
}

HeldFile::HeldFile(const std::filesystem::path& path, std::optional<std::chrono::milliseconds> release)
{
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot hold " + path.string());
    m_handle = reinterpret_cast<std::intptr_t>(file);
    if (release)
        m_releaser = std::thread([file, duration = *release] {
            std::this_thread::sleep_for(duration);
            ::CloseHandle(file);
        });
}

HeldFile::~HeldFile()
{
    if (m_releaser.joinable())
        m_releaser.join();
    else
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

SmallDisk::SmallDisk(const std::filesystem::path& folder, const char*) : m_folder(folder) {}

SmallDisk::~SmallDisk() = default;

}  // namespace test_programs
