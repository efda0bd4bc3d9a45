#include "platform/inet/curl_internet.h"
#include "platform/shell/shell.h"
#include "updater/build_config.h"
#include "updater/frmGuncel.h"
#include "updater/qt_message_boxes.h"
#include "updater/url_readers.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);

    inet::CurlInternet internet;
    shell::PosixShell shell;
    QtMessageBoxes boxes;
    CurlInet1 inet1;
    HtmlBrowser browser;
    frmGuncel window(UpdaterServices{
        internet, boxes, shell, inet1, browser,
        [] {
            // Ends at once, from inside whatever handler is running: nothing after it runs.
            std::fflush(nullptr);
            std::_Exit(EXIT_SUCCESS);
        },
        QCoreApplication::applicationDirPath().toStdU16String(), build_config::kUpdateHost,
        build_config::kVendorHost});
    boxes.setParent(&window);
    window.show();
    return application.exec();
}
