#include "platform/runtime/runtime_error.h"
#include "platform/runtime/system_errors.h"
#include "platform/shell/files.h"
#include "platform/shell/handles_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace shell {

using windows::Handle;
using windows::named;
using windows::wide;

namespace {

using runtime::FileError;
using runtime::FileProblem;
using runtime::RuntimeError;
namespace error = runtime::error;

constexpr std::wstring_view kStageInfix = L".new-";  // a stage is "<target>.new-<digits>"
constexpr wchar_t kLockName[] = L"\\updatelirvane.lock";

// A scanner or an indexer holds a file for a moment: a call refused for a file in use is made
// again, every kHoldRetry, for at most kHoldPatience.
constexpr ULONGLONG kHoldPatience = 3000;  // milliseconds
constexpr DWORD kHoldRetry = 50;

int fileError(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return error::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return error::kPathNotFound;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return error::kDiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return error::kPermissionDenied;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT: return error::kDeviceIoError;
    default: return error::kPathFileAccessError;
    }
}

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The file error of `path` for the system's error `code`.
[[noreturn]] void raise(DWORD code, const std::wstring& path)
{
    const FileProblem problem =
        code == ERROR_ACCESS_DENIED && isFolder(path) ? FileProblem::Folder : runtime::fileProblemOf(code);
    throw FileError(fileError(code), problem, named(path));
}

// Tries `attempt` (true on success, the reason in GetLastError() otherwise) until it succeeds,
// fails for another reason than a file in use, or the patience is spent. Windows refuses a
// rename or a delete over a file that is held open with "access denied" as well.
template <class Attempt>
bool patiently(Attempt attempt, bool deniedWhileHeld = false)
{
    const ULONGLONG deadline = ::GetTickCount64() + kHoldPatience;
    for (;;) {
        if (attempt())
            return true;
        const DWORD code = ::GetLastError();
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
                          || (deniedWhileHeld && code == ERROR_ACCESS_DENIED);
        if (!held || ::GetTickCount64() >= deadline) {
            ::SetLastError(code);
            return false;
        }
        ::Sleep(kHoldRetry);
    }
}

class Win32InputFile : public InputFile {
public:
    explicit Win32InputFile(HANDLE handle) : m_handle(handle)
    {
        LARGE_INTEGER size{};
        m_size = ::GetFileSizeEx(handle, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }
    std::uint64_t size() const override { return m_size; }
    bool readAt(std::uint64_t offset, std::span<std::byte> into) override
    {
        while (!into.empty()) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD got = 0;
            const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
            if (!::ReadFile(m_handle.get(), into.data(), want, &got, &at) || got == 0)
                return false;
            into = into.subspan(got);
            offset += got;
        }
        return true;
    }
    HANDLE handle() const { return m_handle.get(); }

private:
    Handle m_handle;
    std::uint64_t m_size = 0;
};

class Win32StagedFile : public StagedFile {
public:
    explicit Win32StagedFile(std::wstring target) : m_target(std::move(target))
    {
        // A folder in the target's place could never be replaced: say so before anything else
        // of the caller's changes.
        if (isFolder(m_target))
            throw FileError(error::kPathFileAccessError, FileProblem::Folder, named(m_target));
        // The stage is made new under a name nothing holds: a name already taken, by the stage
        // of an earlier process or by a link, is never opened or deleted (Wine deletes what a
        // link leads to), the next digits are tried instead.
        const std::wstring base = m_target + std::wstring(kStageInfix) + std::to_wstring(::GetCurrentProcessId());
        for (int attempt = 0; !m_writing.valid(); ++attempt) {
            m_path = attempt == 0 ? base : base + std::to_wstring(attempt);
            m_writing.reset(
                ::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            const DWORD code = ::GetLastError();
            if (!m_writing.valid() && ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) || attempt == 99))
                raise(code, m_target);
        }
    }
    ~Win32StagedFile() override
    {
        m_writing.reset();
        m_contents.reset();
        if (!m_committed)
            ::DeleteFileW(m_path.c_str());
    }
    Win32StagedFile(const Win32StagedFile&) = delete;
    Win32StagedFile& operator=(const Win32StagedFile&) = delete;

    void fill(std::span<const std::byte> bytes)
    {
        while (!bytes.empty()) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!::WriteFile(m_writing.get(), bytes.data(), chunk, &written, nullptr))
                fail(::GetLastError());
            bytes = bytes.subspan(written);
        }
    }
    // Puts the stage's bytes on the disk and reads them back through a handle that cannot
    // write: a program is not started while a handle may write its image.
    void finish()
    {
        if (!::FlushFileBuffers(m_writing.get()))
            fail(::GetLastError());
        m_writing.reset();
        const HANDLE reading = ::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (reading == INVALID_HANDLE_VALUE)
            fail(::GetLastError());
        m_contents = std::make_unique<Win32InputFile>(reading);
    }

    InputFile& contents() override { return *m_contents; }

    void commit() override
    {
        if (m_committed)
            return;
        // Replaced in one step and written through, so that the rename outlives a power cut. A
        // link in the target's place is replaced itself, never what it leads to.
        if (!patiently(
                [&] {
                    return ::MoveFileExW(m_path.c_str(), m_target.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                           != FALSE;
                },
                true))
            raise(::GetLastError(), m_target);
        m_committed = true;
    }
    bool committed() const override { return m_committed; }

private:
    [[noreturn]] void fail(DWORD code)
    {
        m_writing.reset();
        m_contents.reset();
        ::DeleteFileW(m_path.c_str());
        raise(code, m_target);
    }

    std::wstring m_target;
    std::wstring m_path;
    Handle m_writing;
    std::unique_ptr<Win32InputFile> m_contents;
    bool m_committed = false;
};

std::unique_ptr<Win32StagedFile> stageOf(const std::wstring& target, std::span<const std::byte> contents)
{
    auto stage = std::make_unique<Win32StagedFile>(target);
    stage->fill(contents);
    stage->finish();
    return stage;
}

// Deletes the name `path` itself, whatever it holds: Wine deletes what a link leads to, so the
// name is first given an empty file of this process, which is then deleted.
void removeName(const std::wstring& path)
{
    stageOf(path, {})->commit();
    if (!patiently([&] { return ::DeleteFileW(path.c_str()) != FALSE; }, true))
        raise(::GetLastError(), path);
}

class Win32FolderLock : public FolderLock {
public:
    explicit Win32FolderLock(HANDLE handle) : m_handle(handle) {}

private:
    Handle m_handle;  // the lock file goes with the handle, also when the process dies
};

// The files of a Windows desktop.
class Win32Files : public Files {
public:
    void deleteFile(const std::u16string& path) override
    {
        const std::wstring native = wide(path);
        const DWORD attributes = ::GetFileAttributesW(native.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            raise(::GetLastError(), native);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw FileError(error::kFileNotFound, FileProblem::Folder, path);
        removeName(native);
    }

    std::unique_ptr<InputFile> openFile(const std::u16string& path) override
    {
        const std::wstring native = wide(path);
        HANDLE file = INVALID_HANDLE_VALUE;
        const bool opened = patiently([&] {
            file = ::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return file != INVALID_HANDLE_VALUE;
        });
        if (!opened) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
                return nullptr;
            raise(code, native);
        }
        return std::make_unique<Win32InputFile>(file);
    }

    std::unique_ptr<StagedFile> stageCopy(InputFile& source, const std::u16string& target, InputFile*) override
    {
        // Windows keeps no permission bits of the kind that a copy would have to carry.
        auto stage = std::make_unique<Win32StagedFile>(wide(target));
        readInPieces(source, [&](std::span<const std::byte> piece) { stage->fill(piece); });
        stage->finish();
        return stage;
    }

    std::unique_ptr<StagedFile> stageText(std::string_view contents, const std::u16string& target) override
    {
        return stageOf(wide(target), std::as_bytes(std::span(contents)));
    }

    void removeStaleStages(const std::u16string& target) override
    {
        const std::wstring native = wide(target);
        const std::wstring folder = native.substr(0, native.find_last_of(L"\\/") + 1);
        const std::wstring prefix = native.substr(folder.size()) + std::wstring(kStageInfix);
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW((native + std::wstring(kStageInfix) + L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        std::vector<std::wstring> stale;
        do {
            const std::wstring name = found.cFileName;
            if (name.size() > prefix.size() && name.starts_with(prefix)
                && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                               [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
                stale.push_back(folder + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        for (const std::wstring& name : stale) {
            try {
                removeName(name);
            } catch (const RuntimeError&) {
                // A stage that stays is only a file in the way; the next sweep tries again.
            }
        }
    }

    std::unique_ptr<FolderLock> lockFolder(const std::u16string& folder) override
    {
        // A lock file that no one else may open while it is held, and that the system deletes
        // when its handle closes, whether the holder ends or dies.
        const std::wstring name = wide(folder) + kLockName;
        const HANDLE lock = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (lock == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_SHARING_VIOLATION)
                return nullptr;
            raise(code, name);
        }
        return std::make_unique<Win32FolderLock>(lock);
    }

    bool canWriteIn(const std::u16string& folder) override
    {
        const std::wstring probe = wide(folder + u"\\.updatelirvane-probe-") + std::to_wstring(::GetCurrentProcessId());
        const Handle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                        nullptr));
        if (file.valid())
            return true;
        const DWORD code = ::GetLastError();
        return code != ERROR_ACCESS_DENIED && code != ERROR_WRITE_PROTECT;
    }
};

}  // namespace

std::unique_ptr<Files> systemFiles()
{
    return std::make_unique<Win32Files>();
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view contents)
{
    stageOf(target.wstring(), std::as_bytes(std::span(contents)))->commit();
}

}  // namespace shell
