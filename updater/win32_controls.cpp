#include "updater/win32_controls.h"

#include <algorithm>
#include <memory>

namespace win32_controls {

void drawPictureButton(const DRAWITEMSTRUCT& item, HICON picture, HFONT font)
{
    const HDC dc = item.hDC;
    RECT face = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    ::DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const int shift = pushed ? 1 : 0;
    constexpr int kPicture = 32;
    const int width = face.right - face.left;
    const int left = face.left + (width - kPicture) / 2 + shift;
    const int top = face.top + 4 + shift;
    if (picture) {
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(picture), 0, left, top, kPicture, kPicture,
                     DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
    }

    wchar_t caption[256] = {};
    ::GetWindowTextW(item.hwndItem, caption, 256);
    RECT text{face.left + 2 + shift, top + kPicture, face.right - 2 + shift, face.bottom - 2 + shift};
    const HGDIOBJ previous = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        // Engraved, as the system shows a disabled caption.
        RECT below = text;
        ::OffsetRect(&below, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_3DHILIGHT));
        ::DrawTextW(dc, caption, -1, &below, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    } else {
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    }
    ::DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    ::SelectObject(dc, previous);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = face;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(dc, &focus);
    }
}

namespace {

void paintProgress(HWND bar, HDC dc)
{
    const ProgressState& state = progressOf(bar);
    RECT area{};
    ::GetClientRect(bar, &area);
    const HBRUSH ground = ::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
    ::FillRect(dc, &area, ground);
    ::DeleteObject(ground);
    if (state.maximum > 0) {
        const double part = std::clamp(static_cast<double>(state.value) / state.maximum, 0.0, 1.0);
        RECT done = area;
        done.right = area.left + static_cast<LONG>((area.right - area.left) * part);
        const HBRUSH fill = ::CreateSolidBrush(state.barColour);
        ::FillRect(dc, &done, fill);
        ::DeleteObject(fill);
    }
    if (state.showText && !state.caption.empty()) {
        const HGDIOBJ previous = ::SelectObject(dc, state.font ? state.font : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, state.textColour);
        ::DrawTextW(dc, reinterpret_cast<const wchar_t*>(state.caption.c_str()), -1, &area,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SelectObject(dc, previous);
    }
}

LRESULT CALLBACK progressProcedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        ::SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ProgressState()));
        break;
    case WM_NCDESTROY:
        delete &progressOf(bar);
        ::SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(bar, &paint);
        paintProgress(bar, dc);
        ::EndPaint(bar, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // painted whole in WM_PAINT
    default:
        break;
    }
    return ::DefWindowProcW(bar, message, wParam, lParam);
}

}  // namespace

void registerProgressBar(HINSTANCE instance)
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = progressProcedure;
    type.hInstance = instance;
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.lpszClassName = kProgressBarClass;
    ::RegisterClassExW(&type);
}

ProgressState& progressOf(HWND bar)
{
    return *reinterpret_cast<ProgressState*>(::GetWindowLongPtrW(bar, GWLP_USERDATA));
}

}  // namespace win32_controls
