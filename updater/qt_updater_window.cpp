#include "updater/frmGuncel.h"
#include "updater/qt_message_boxes.h"
#include "updater/updater_window.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int runUpdaterWindow(int argc, char* argv[], const UpdaterSetup& setup)
{
    QApplication application(argc, argv);
    QtMessageBoxes boxes;
    frmGuncel window(UpdaterServices{
        setup.internet, boxes, setup.shell, setup.Inet1, setup.WebBrowser1,
        [](int status) {
            // Ends at once, from inside whatever handler is running: nothing after it runs.
            std::fflush(nullptr);
            std::_Exit(status);
        },
        QCoreApplication::applicationDirPath().toStdU16String(), setup.updateHost, setup.vendorHost, setup.updateKey,
        setup.minimumTimestamp, setup.elevated});
    boxes.setParent(&window);
    window.show();
    application.exec();
    return window.controller().closedStatus();
}
