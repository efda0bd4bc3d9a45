#include "clock/clock_window_win32.h"

#include "clock/clock_window.h"
#include "platform/window/window_dpi_win32.h"
#include "platform/window/window_owner_win32.h"

namespace {

constexpr wchar_t kClassName[] = L"TavorixClock";
constexpr UINT_PTR kTimerId = 1;

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

// A clock's window. It exists from the control's creation, hidden and without a parent, so
// that its timer runs before any container places it. The window class is registered while a
// window lives: a module that is unloaded leaves no class behind whose procedure is gone.
class Win32ClockWindow final : public ClockWindow {
public:
    explicit Win32ClockWindow(ClockRowSource row) : m_row(std::move(row))
    {
        if (s_windows++ == 0) {
            WNDCLASSEXW type{};
            type.cbSize = sizeof type;
            type.lpfnWndProc = &Win32ClockWindow::procedure;
            type.hInstance = thisModule();
            type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            type.lpszClassName = kClassName;
            ::RegisterClassExW(&type);
        }
        m_window = ::CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_CLIPSIBLINGS, 0, 0, 0, 0, nullptr, nullptr,
                                     thisModule(), this);
    }
    ~Win32ClockWindow() override
    {
        if (m_window) {
            ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
            ::DestroyWindow(m_window);
        }
        if (--s_windows == 0)
            ::UnregisterClassW(kClassName, thisModule());
    }

    void startTimer(std::chrono::milliseconds interval, std::function<void()> tick) override
    {
        m_tick = std::move(tick);
        if (m_window)
            ::SetTimer(m_window, kTimerId, static_cast<UINT>(interval.count()), nullptr);
    }
    void invalidate() override
    {
        if (m_window)
            ::InvalidateRect(m_window, nullptr, FALSE);
    }
    void resize(int width, int height) override
    {
        if (!m_window)
            return;
        const int dpi = win32::windowDpi(m_window);
        ::SetWindowPos(m_window, nullptr, 0, 0, ::MulDiv(width, dpi, USER_DEFAULT_SCREEN_DPI),
                       ::MulDiv(height, dpi, USER_DEFAULT_SCREEN_DPI), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    bool place(void* parent) override
    {
        if (!m_window)
            return false;
        ::SetWindowLongPtrW(m_window, GWL_STYLE, WS_CHILD | WS_CLIPSIBLINGS);
        ::SetParent(m_window, static_cast<HWND>(parent));
        ::SetWindowPos(m_window, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        return true;
    }
    void withdraw() override
    {
        if (!m_window)
            return;
        ::ShowWindow(m_window, SW_HIDE);
        ::SetParent(m_window, nullptr);
        ::SetWindowLongPtrW(m_window, GWL_STYLE, WS_POPUP | WS_CLIPSIBLINGS);
    }
    void* nativeWindow() override { return m_window; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = win32::windowOwner<Win32ClockWindow>(window, message, lParam);
        if (!self)
            return ::DefWindowProcW(window, message, wParam, lParam);
        switch (message) {
        case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT, without flicker
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            paintClock(dc, client, self->m_row(), win32::windowDpi(window));
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kTimerId && self->m_tick)
                self->m_tick();
            return 0;
        case WM_NCDESTROY:
            // Gone with the container's window: the control goes on without one.
            self->m_window = nullptr;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            break;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    ClockRowSource m_row;
    std::function<void()> m_tick;
    HWND m_window = nullptr;
    static inline int s_windows = 0;  // windows live on their container's one thread
};

}  // namespace

void paintClock(HDC dc, const RECT& bounds, const Picture& row, int dpi)
{
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    if (row.width() > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = row.width();
        info.bmiHeader.biHeight = -row.height();  // top-down, as the picture's rows run
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;  // 0x00RRGGBB, as the picture holds its pixels
        info.bmiHeader.biCompression = BI_RGB;
        // Pixel for pixel at 96 dots per inch, else each pixel a block: segments stay sharp.
        const int width = ::MulDiv(row.width(), dpi, USER_DEFAULT_SCREEN_DPI);
        const int height = ::MulDiv(row.height(), dpi, USER_DEFAULT_SCREEN_DPI);
        ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchDIBits(dc, bounds.left, bounds.top, width, height, 0, 0, row.width(), row.height(),
                        row.pixels().data(), &info, DIB_RGB_COLORS, SRCCOPY);
        ::ExcludeClipRect(dc, bounds.left, bounds.top, bounds.left + width, bounds.top + height);
    }
    ::FillRect(dc, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
    ::RestoreDC(dc, saved);
}

std::unique_ptr<ClockWindow> makeClockWindow(ClockRowSource row)
{
    return std::make_unique<Win32ClockWindow>(std::move(row));
}

ClockTime localTimeOfDay()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}
