#include "platform/inet/internet.h"
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
    // A key that was meant to be built in but cannot be read must not turn into no key at all.
    const auto updateKey = signature::parsePublicKey(build_config::kUpdatePublicKey);
    if (build_config::kUpdatePublicKey[0] != '\0' && !updateKey) {
        std::fputs("updatelirvane: the vendor's public key built into this updater is unusable\n", stderr);
        return EXIT_FAILURE;
    }

    const inet::TlsTrust trust{build_config::kUpdateAuthorities};
    const auto internet = inet::systemInternet(inet::kDefaultTimeouts, trust);
    const auto shell = shell::systemShell();
    QtMessageBoxes boxes;
    InternetInet1 inet1(*internet);
    HtmlBrowser browser(*internet);
    frmGuncel window(UpdaterServices{
        *internet, boxes, *shell, inet1, browser,
        [] {
            // Ends at once, from inside whatever handler is running: nothing after it runs.
            std::fflush(nullptr);
            std::_Exit(EXIT_SUCCESS);
        },
        QCoreApplication::applicationDirPath().toStdU16String(), build_config::kUpdateHost,
        build_config::kVendorHost, updateKey, build_config::kUpdateMinTimestamp});
    boxes.setParent(&window);
    window.show();
    return application.exec();
}
