// The Windows demo's stand-in for the vendor's application: a window that shows which version
// it is, so that the demo can show the updater replacing it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#ifndef DEMO_APP_VERSION
#error "DEMO_APP_VERSION must name the version"
#endif

namespace {

constexpr wchar_t kTitle[] = L"Velkora Lirvane " DEMO_APP_VERSION;
constexpr wchar_t kVersion[] = L"S\u00fcr\u00fcm " DEMO_APP_VERSION;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(window, &paint);
        RECT area{};
        ::GetClientRect(window, &area);
        ::SetBkMode(dc, TRANSPARENT);
        const HFONT big = ::CreateFontW(-36, 0, 0, 0, FW_BOLD, 0, 0, 0, TURKISH_CHARSET, 0, 0, 0, 0, L"Tahoma");
        const HGDIOBJ previous = ::SelectObject(dc, big);
        RECT top = area;
        top.bottom /= 2;
        ::DrawTextW(dc, L"Velkora Lirvane", -1, &top, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        RECT bottom = area;
        bottom.top = top.bottom;
        ::SetTextColor(dc, DEMO_APP_COLOUR);
        ::DrawTextW(dc, kVersion, -1, &bottom, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(dc, previous);
        ::DeleteObject(big);
        ::EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char* argv[])
{
    // "--version" answers without a window, so that the demo can tell which version is installed.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("Velkora Lirvane " DEMO_APP_VERSION);
        return 0;
    }
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = instance;
    type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    type.lpszClassName = L"VelkoraLirvaneDemo";
    ::RegisterClassExW(&type);
    const HWND window = ::CreateWindowExW(0, type.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                          CW_USEDEFAULT, 360, 200, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(window, SW_SHOWNORMAL);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
