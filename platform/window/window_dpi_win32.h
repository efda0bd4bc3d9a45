#pragma once

#include <windows.h>

// The resolution a window is shown at on Windows: its monitor's, for a program that declares
// itself aware of it, else the system's.
namespace win32 {

inline int windowDpi(HWND window)
{
    // GetDpiForWindow is Windows 10's (1607); before it every window has the system's.
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<ForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && forWindow) {
        if (const UINT dpi = forWindow(window))
            return static_cast<int>(dpi);
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace win32
