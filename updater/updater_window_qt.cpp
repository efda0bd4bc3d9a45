#include "updater/controls_qt.h"
#include "updater/frmGuncel_qt.h"
#include "updater/updater_window.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int runUpdaterWindow(int argc, char* argv[], const UpdaterSetup& setup)
{
    const auto folder = updaterFolder(setup.elevated);
    if (!folder)
        return updater_exit::kCannotWrite;
    QApplication application(argc, argv);
    QtMessageBoxes boxes;
    const auto endProgram = [](int status) {
        // Ends at once, from inside whatever handler is running: nothing after it runs.
        std::fflush(nullptr);
        std::_Exit(status);
    };
    frmGuncel window(setup, UpdaterProgram{boxes, endProgram, folder->path()});
    boxes.setParent(&window);
    window.show();
    application.exec();
    return window.closedStatus();
}
