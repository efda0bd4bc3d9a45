#pragma once

#include "updater/update_view.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The Win32 view's own drawing: the picture buttons and the progress bar with its caption,
// which the system's controls do not draw the way the window shows them; and its message boxes.
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

// How the progress bar draws: a bar of its own colour, and the control's text as a caption
// over it in `font` (not owned).
struct ProgressLook {
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF barColour = RGB(0xC0, 0xFF, 0xFF);
    bool showText = true;
    HFONT font = nullptr;
};

// Makes `bar`, a new control of the system's progress class, draw as the window shows it, by
// `look`, which must outlive it. It stays the system's control for everything else: its range
// and position (PBM_SETRANGE32, PBM_SETPOS) and its text are what screen readers read.
void drawProgressBarAsCaptioned(HWND bar, const ProgressLook& look);

}  // namespace win32_controls

// Message boxes of the system (MessageBoxW), modal over the window.
class Win32MessageBoxes : public MessageBoxes {
public:
    // `applicationTitle` is what a box without a title of its own shows.
    explicit Win32MessageBoxes(std::u16string applicationTitle) : m_applicationTitle(std::move(applicationTitle)) {}
    void setOwner(HWND owner) { m_owner = owner; }
    void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) override;

private:
    std::u16string m_applicationTitle;
    HWND m_owner = nullptr;
};
