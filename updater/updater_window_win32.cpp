#include "updater/frmGuncel_win32.h"
#include "updater/updater_window.h"

#include <windows.h>

int runUpdaterWindow(int, char*[], const UpdaterSetup& setup)
{
    const auto folder = updaterFolder(setup.elevated);
    if (!folder)
        return updater_exit::kCannotWrite;
    // A box without a title of its own shows the application's name, as the program is named.
    Win32MessageBoxes boxes(u"updatelirvane");
    const auto endProgram = [](int status) {
        // Ends at once, from inside whatever handler is running: nothing after it runs.
        ::ExitProcess(static_cast<UINT>(status));
    };
    frmGuncel window(::GetModuleHandleW(nullptr), setup, UpdaterProgram{boxes, endProgram, folder->path()});
    boxes.setOwner(window.handle());
    return window.run();
}
