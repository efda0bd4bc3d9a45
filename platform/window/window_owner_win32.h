#pragma once

#include <windows.h>

namespace win32 {

// The object a window procedure serves: the creation parameter given to CreateWindowExW, kept
// with the window from WM_NCCREATE on. nullptr for the messages before that one, and once the
// owner has let the window go (GWLP_USERDATA set back to 0).
template <typename Owner>
Owner* windowOwner(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    return reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace win32
