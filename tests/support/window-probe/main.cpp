// What a screen reader and a keyboard user find in another program's window: the control that
// has the keyboard focus, and every child control with its class, its text, whether it is
// enabled and a tab stop, and a progress control's position in its range. One line each, in
// UTF-8:
//   focus CLASS "TEXT"
//   control CLASS "TEXT" [disabled] [tabstop] [position N of M]
//   usage: window-probe TITLE     (exit status 1 when no top-level window has that title)
#include "platform/runtime/text.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    return runtime::toUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring classOf(HWND window)
{
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::wstring textOf(HWND window)
{
    // WM_GETTEXT reaches another process's window as GetWindowText does not.
    wchar_t text[512] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

BOOL CALLBACK describe(HWND control, LPARAM)
{
    std::string line = "control " + utf8(classOf(control)) + " \"" + utf8(textOf(control)) + "\"";
    const LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
    if (!::IsWindowEnabled(control))
        line += " disabled";
    if (style & WS_TABSTOP)
        line += " tabstop";
    if (::lstrcmpiW(classOf(control).c_str(), PROGRESS_CLASSW) == 0) {
        DWORD_PTR position = 0;
        DWORD_PTR range = 0;
        ::SendMessageTimeoutW(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position);
        ::SendMessageTimeoutW(control, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 2000, &range);
        line += " position " + std::to_string(position) + " of " + std::to_string(range);
    }
    std::printf("%s\n", line.c_str());
    return TRUE;
}

}  // namespace

int main()
{
    // The title as the shell gave it, not through the code page of narrow arguments.
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count != 2) {
        std::fputs("usage: window-probe TITLE\n", stderr);
        return 64;
    }
    const HWND window = ::FindWindowW(nullptr, arguments[1]);
    if (!window)
        return 1;
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus)
        std::printf("focus %s \"%s\"\n", utf8(classOf(thread.hwndFocus)).c_str(),
                    utf8(textOf(thread.hwndFocus)).c_str());
    ::EnumChildWindows(window, describe, 0);
    return 0;
}
