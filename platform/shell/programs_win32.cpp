#include "platform/runtime/runtime_error.h"
#include "platform/shell/handles_win32.h"
#include "platform/shell/pe_image.h"
#include "platform/shell/programs.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <optional>
#include <string>

namespace shell {

using windows::Handle;
using windows::named;
using windows::sameFile;
using windows::wide;

namespace {

using runtime::RuntimeError;
namespace error = runtime::error;

// An argument as CommandLineToArgvW reads it back: in quotes, its quotes and the backslashes
// before them escaped.
std::wstring quoted(const std::wstring& argument)
{
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        result += c;
    }
    result.append(2 * backslashes, L'\\');
    return result + L"\"";
}

// The path this program's file was started by.
std::wstring modulePath()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// The final path of an open file or folder, every link and junction resolved, in the form a
// user reads (without the extended form's prefix); nullopt when the system cannot tell.
std::optional<std::wstring> finalPathOf(HANDLE handle)
{
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= path.size())
        return std::nullopt;
    path.resize(length);
    if (path.starts_with(LR"(\\?\UNC\)"))
        return LR"(\\)" + path.substr(8);
    if (path.starts_with(LR"(\\?\)"))
        return path.substr(4);
    return path;
}

std::wstring folderOf(const std::wstring& path)
{
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// Two paths of one file system name the same thing: Windows compares names without case.
bool samePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE)
           == CSTR_EQUAL;
}

// The final path of this program's own file, its image opened; nullopt when it cannot be told.
std::optional<std::wstring> ownFinalPath()
{
    const Handle image(::CreateFileW(modulePath().c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return image.valid() ? finalPathOf(image.get()) : std::nullopt;
}

class Win32ProgramFolder : public ProgramFolder {
public:
    Win32ProgramFolder()
    {
        // The folder as the program was started, short names made long: a short name is no link.
        std::wstring started = folderOf(modulePath());
        std::wstring longForm(32768, L'\0');
        const DWORD length = ::GetLongPathNameW(started.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
        if (length > 0 && length < longForm.size())
            started = longForm.substr(0, length);
        m_path = std::u16string(started.begin(), started.end());
        const auto image = ownFinalPath();
        if (!image)
            return;
        const std::wstring folder = folderOf(*image);
        // Opened without leave to delete: neither this folder nor one above it can be renamed
        // while it is held. What was opened must be the folder resolved, or it changed between.
        m_held.reset(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        const auto held = m_held.valid() ? finalPathOf(m_held.get()) : std::nullopt;
        if (!held || !samePath(*held, folder))
            return;
        m_path = std::u16string(folder.begin(), folder.end());
        m_startedByFinalPath = samePath(started, folder);
    }
    const std::u16string& path() const override { return m_path; }
    bool startedByFinalPath() const override { return m_startedByFinalPath; }

private:
    std::u16string m_path;
    bool m_startedByFinalPath = false;
    Handle m_held;
};

// The programs of a Windows desktop.
class Win32Programs : public Programs {
public:
    bool offersElevation() const override { return true; }

    std::optional<int> runElevated(std::u16string_view flag, const std::function<void()>& wait) override
    {
        // Started by its final path: the run with an administrator's rights works in the folder
        // that holds this very file, whatever a link on the way leads to later.
        const std::wstring self = ownFinalPath().value_or(modulePath());
        // The arguments this program was given, its own name taken off the command line.
        int count = 0;
        LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
        std::wstring parameters;
        for (int i = 1; arguments && i < count; ++i)
            parameters += quoted(arguments[i]) + L" ";
        ::LocalFree(arguments);
        parameters += std::wstring(flag.begin(), flag.end());

        SHELLEXECUTEINFOW run{};
        run.cbSize = sizeof run;
        run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        run.lpVerb = L"runas";
        run.lpFile = self.c_str();
        run.lpParameters = parameters.c_str();
        run.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&run) || !run.hProcess)
            return std::nullopt;  // declined at the prompt, or not started at all
        const Handle process(run.hProcess);
        while (::MsgWaitForMultipleObjects(1, &run.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            wait();
        DWORD status = 0;
        if (!::GetExitCodeProcess(process.get(), &status))
            return std::nullopt;
        return static_cast<int>(status);
    }

    void startProgram(const std::u16string& path) override
    {
        std::wstring program = wide(path);
        // No program starts by a name beyond MAX_PATH, long-path setting or not: such a one
        // starts by its short name. The program is named to CreateProcess itself, for the
        // search that a bare command line starts (ShellExecute's way) fails in such folders.
        if (program.size() >= MAX_PATH) {
            std::wstring shortName(program.size() + 1, L'\0');
            const DWORD length =
                ::GetShortPathNameW(program.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
            if (length > 0 && length < shortName.size()) {
                shortName.resize(length);
                program = shortName;
            }
        }
        const std::u16string plain = named(program);
        program.assign(plain.begin(), plain.end());
        std::wstring command = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process))
            throw RuntimeError(error::kFileNotFound);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }

    void openDocument(const std::u16string& address) override
    {
        const std::wstring text(reinterpret_cast<const wchar_t*>(address.data()), address.size());
        ::ShellExecuteW(nullptr, L"open", text.c_str(), L"", L"", SW_HIDE);
    }

    void sleep(std::chrono::milliseconds duration) override { ::Sleep(static_cast<DWORD>(duration.count())); }

    bool isProgramRunning(const std::u16string& path) override
    {
        const Handle program(::CreateFileW(wide(path).c_str(), 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!program.valid()) {
            const DWORD code = ::GetLastError();
            return code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND;
        }
        const Handle processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (!processes.valid() || !::Process32FirstW(processes.get(), &entry))
            return true;  // cannot tell: taken as running
        do {
            // A process that cannot be looked at could not hold this user's program either.
            const Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
            if (!process.valid())
                continue;
            std::wstring image(32768, L'\0');
            DWORD length = static_cast<DWORD>(image.size());
            if (!::QueryFullProcessImageNameW(process.get(), 0, image.data(), &length))
                continue;
            image.resize(length);
            const Handle running(::CreateFileW(image.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (running.valid() && sameFile(running.get(), program.get()))
                return true;
        } while (::Process32NextW(processes.get(), &entry));
        return false;
    }
};

}  // namespace

std::unique_ptr<Programs> systemPrograms()
{
    return std::make_unique<Win32Programs>();
}

bool isWholeProgram(InputFile& file)
{
    return isWholePeImage(file.size(),
                          [&](std::uint64_t offset, std::span<std::byte> into) { return file.readAt(offset, into); });
}

std::unique_ptr<ProgramFolder> holdProgramFolder()
{
    return std::make_unique<Win32ProgramFolder>();
}

void loadLibrariesFromSystemOnly()
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");  // nor the current folder, for a call that names its own search
}

}  // namespace shell
