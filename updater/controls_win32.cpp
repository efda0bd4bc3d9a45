#include "updater/controls_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace win32_controls {

void drawPictureButton(const DRAWITEMSTRUCT& item, const ButtonPictures& pictures, HFONT font, int dpi)
{
    const HDC dc = item.hDC;
    RECT face = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    ::DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    // The picture above a line of caption, the spare height above and below both; a button
    // too small for both keeps its caption whole and lets the picture's top give way, as the
    // Qt view lays it out.
    const HGDIOBJ previous = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    const int line = metrics.tmHeight + metrics.tmExternalLeading;
    const int margin = ::MulDiv(3, dpi, USER_DEFAULT_SCREEN_DPI);
    const int shift = pushed ? 1 : 0;
    RECT area = face;
    ::InflateRect(&area, -margin, -margin);
    const int size = pictures.size;
    const int top = area.top + std::max(0, static_cast<int>(area.bottom - area.top) - size - line) / 2;
    const int bottom = std::min(top + size, static_cast<int>(area.bottom) - line);
    const int left = area.left + (area.right - area.left - size) / 2 + shift;
    const HICON picture = disabled ? pictures.disabled : pictures.normal;
    if (picture) {
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, face.left, face.top, face.right, bottom + shift);
        ::DrawIconEx(dc, left, bottom - size + shift, picture, size, size, 0, nullptr, DI_NORMAL);
        ::RestoreDC(dc, saved);
    }

    wchar_t caption[256] = {};
    ::GetWindowTextW(item.hwndItem, caption, 256);
    RECT text{area.left + shift, bottom + shift, area.right + shift, bottom + line + shift};
    ::SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        // Engraved, as the system shows a disabled caption.
        RECT below = text;
        ::OffsetRect(&below, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_3DHILIGHT));
        ::DrawTextW(dc, caption, -1, &below, DT_CENTER | DT_SINGLELINE | DT_TOP | DT_NOPREFIX | DT_NOCLIP);
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    } else {
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    }
    ::DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_SINGLELINE | DT_TOP | DT_NOPREFIX | DT_NOCLIP);
    ::SelectObject(dc, previous);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = area;
        ::InflateRect(&focus, 1, 1);
        ::DrawFocusRect(dc, &focus);
    }
}

HICON greyedIcon(HICON icon)
{
    ICONINFO parts{};
    if (!icon || !::GetIconInfo(icon, &parts))
        return nullptr;
    BITMAP colour{};
    ::GetObjectW(parts.hbmColor, sizeof colour, &colour);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = colour.bmWidth;
    format.bmiHeader.biHeight = -colour.bmHeight;  // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    const HDC screen = ::GetDC(nullptr);
    void* bits = nullptr;
    const HBITMAP grey = ::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HICON result = nullptr;
    if (grey
        && ::GetDIBits(screen, parts.hbmColor, 0, static_cast<UINT>(colour.bmHeight), bits, &format, DIB_RGB_COLORS)) {
        // Grey by brightness, drawn two thirds toward the button's face: a picture that is not
        // to be pressed, whose shapes still show.
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        auto* pixel = static_cast<std::uint32_t*>(bits);
        for (long i = 0; i < static_cast<long>(colour.bmWidth) * colour.bmHeight; ++i) {
            const std::uint32_t p = pixel[i];
            const std::uint32_t brightness = (((p >> 16) & 0xFF) * 77 + ((p >> 8) & 0xFF) * 150 + (p & 0xFF) * 29) >> 8;
            const auto toward = [&](std::uint32_t ground) { return (brightness + 2 * ground) / 3; };
            pixel[i] = (p & 0xFF000000) | toward(GetRValue(face)) << 16 | toward(GetGValue(face)) << 8
                       | toward(GetBValue(face));
        }
        ICONINFO made{TRUE, 0, 0, parts.hbmMask, grey};
        result = ::CreateIconIndirect(&made);
    }
    ::ReleaseDC(nullptr, screen);
    if (grey)
        ::DeleteObject(grey);
    ::DeleteObject(parts.hbmColor);
    ::DeleteObject(parts.hbmMask);
    return result;
}

namespace {

constexpr UINT_PTR kCaptionedBar = 1;  // the subclass's id

void paintProgress(HWND bar, const ProgressLook& look, HDC dc)
{
    RECT area{};
    ::GetClientRect(bar, &area);
    const HBRUSH ground = ::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
    ::FillRect(dc, &area, ground);
    ::DeleteObject(ground);
    const auto maximum = static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    const auto value = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (maximum > 0) {
        const double part = std::clamp(static_cast<double>(value) / maximum, 0.0, 1.0);
        RECT done = area;
        done.right = area.left + static_cast<LONG>((area.right - area.left) * part);
        const HBRUSH fill = ::CreateSolidBrush(look.barColour);
        ::FillRect(dc, &done, fill);
        ::DeleteObject(fill);
    }
    wchar_t caption[64] = {};
    if (look.showText && ::GetWindowTextW(bar, caption, 64) > 0) {
        const HGDIOBJ previous = ::SelectObject(dc, look.font ? look.font : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, look.textColour);
        ::DrawTextW(dc, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SelectObject(dc, previous);
    }
}

LRESULT CALLBACK captionedBar(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR look)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(bar, &paint);
        paintProgress(bar, *reinterpret_cast<const ProgressLook*>(look), dc);
        ::EndPaint(bar, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
    case WM_NCDESTROY: ::RemoveWindowSubclass(bar, captionedBar, kCaptionedBar); break;
    default: break;
    }
    return ::DefSubclassProc(bar, message, wParam, lParam);
}

}  // namespace

void drawProgressBarAsCaptioned(HWND bar, const ProgressLook& look)
{
    ::SetWindowSubclass(bar, captionedBar, kCaptionedBar, reinterpret_cast<DWORD_PTR>(&look));
}

}  // namespace win32_controls

void Win32MessageBoxes::show(const std::u16string& text, const std::u16string& title, MessageIcon icon)
{
    const UINT shown = icon == MessageIcon::Information   ? MB_ICONINFORMATION
                       : icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION
                                                          : MB_ICONERROR;
    ::MessageBoxW(m_owner, reinterpret_cast<const wchar_t*>(text.c_str()),
                  reinterpret_cast<const wchar_t*>((title.empty() ? m_applicationTitle : title).c_str()),
                  MB_OK | shown);
}
