#include "tests/clock/window_stage.h"

#include <windows.h>

struct WindowStage::System {
    HWND window = nullptr;
};

WindowStage::WindowStage(int width, int height) : m_system(std::make_unique<System>())
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = ::DefWindowProcW;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = L"WindowStage";
    ::RegisterClassExW(&type);
    m_system->window = ::CreateWindowExW(0, L"WindowStage", L"", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
}

WindowStage::~WindowStage()
{
    ::DestroyWindow(m_system->window);
}

void* WindowStage::parent()
{
    return m_system->window;
}

Picture WindowStage::capture(int x, int y, int width, int height)
{
    const HWND window = m_system->window;
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&message);
    ::GdiFlush();
    // What the screen shows there, read back through the screen's own device context.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP section = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = ::SelectObject(memory, section);
    POINT origin{x, y};
    ::ClientToScreen(window, &origin);
    ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> pixels(first,
                                      first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (auto& pixel : pixels)
        pixel &= 0xFFFFFF;
    ::SelectObject(memory, previous);
    ::DeleteObject(section);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return Picture(width, height, std::move(pixels));
}

std::uint32_t WindowStage::ground() const
{
    const COLORREF colour = ::GetSysColor(COLOR_BTNFACE);
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
}
