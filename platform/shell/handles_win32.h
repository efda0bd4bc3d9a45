#pragma once

#include "platform/runtime/binary_file.h"

#include <windows.h>

#include <string>

// What the two halves of the Windows shell share: handles, and paths as the system takes them.
namespace shell::windows {

// Owns a file handle.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (valid())
            ::CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle;
};

inline std::wstring wide(const std::u16string& path)
{
    return runtime::nativePath(path).wstring();
}

// A native path as the user knows it: without the extended form's prefix.
inline std::u16string named(const std::wstring& path)
{
    const std::wstring plain = path.starts_with(LR"(\\?\)") ? path.substr(4) : path;
    return std::u16string(plain.begin(), plain.end());
}

// The same file: the volume and the file's index there, as the system identifies it.
inline bool sameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second)
           && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh
           && first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace shell::windows
