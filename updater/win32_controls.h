#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The Win32 view's own drawing: the picture buttons and the progress bar with its caption,
// which the system's controls do not draw the way the window shows them.
namespace win32_controls {

// A picture button's pictures at one resolution, square, `size` pixels a side; not owned.
struct ButtonPictures {
    HICON normal = nullptr;
    HICON disabled = nullptr;
    int size = 32;
};

// Draws an owner-drawn push button at `dpi`: its picture above its caption, each greyed when
// disabled, with a focus frame when it has the focus.
void drawPictureButton(const DRAWITEMSTRUCT& item, const ButtonPictures& pictures, HFONT font, int dpi);

// A copy of `icon` greyed as a disabled button shows it, its shapes kept; the caller destroys
// it. nullptr when the icon cannot be read.
HICON greyedIcon(HICON icon);

// The class of the progress bar: a bar over its range, with a caption text over it.
// Messages below set its state; it owns no font (kSetFont gives it one).
inline constexpr wchar_t kProgressBarClass[] = L"VelkoraProgressBar";
void registerProgressBar(HINSTANCE instance);

struct ProgressState {
    std::int32_t maximum = 100;
    std::int32_t value = 0;
    std::u16string caption;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF barColour = RGB(0xC0, 0xFF, 0xFF);
    bool showText = true;
    HFONT font = nullptr;
};

// The state a progress bar window draws; change it, then invalidate the window.
ProgressState& progressOf(HWND bar);

}  // namespace win32_controls
