#include "updater/frmGuncel_win32.h"
#include "updater/message_boxes_win32.h"
#include "updater/updater_window.h"

#include <windows.h>

#include <string>

namespace {

// The folder of the running program, without a trailing separator.
std::u16string programFolder()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.resize(path.find_last_of(L"\\/") == std::wstring::npos ? 0 : path.find_last_of(L"\\/"));
    return std::u16string(path.begin(), path.end());
}

}  // namespace

int runUpdaterWindow(int, char*[], const UpdaterSetup& setup)
{
    // A box without a title of its own shows the application's name, as the program is named.
    Win32MessageBoxes boxes(u"updatelirvane");
    const auto endProgram = [](int status) {
        // Ends at once, from inside whatever handler is running: nothing after it runs.
        ::ExitProcess(static_cast<UINT>(status));
    };
    frmGuncel window(::GetModuleHandleW(nullptr), setup, UpdaterProgram{boxes, endProgram, programFolder()});
    boxes.setOwner(window.handle());
    return window.run();
}
