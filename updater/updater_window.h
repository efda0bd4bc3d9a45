#pragma once

#include "platform/inet/internet.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"
#include "updater/signature.h"
#include "updater/update_controller.h"
#include "updater/url_readers.h"

#include <cstdint>
#include <optional>
#include <string>

// What the updater's program gives its window, whichever view shows it.
struct UpdaterSetup {
    inet::Internet& internet;
    shell::Shell& shell;
    Inet1Control& Inet1;
    WebBrowserControl& WebBrowser1;
    std::u16string updateHost;
    std::u16string vendorHost;
    std::optional<signature::PublicKey> updateKey;  // with one, only programs it signed install
    std::uint64_t minimumTimestamp = 0;             // seconds since 1970: nothing signed earlier
    bool elevated = false;  // the elevated writing part of another run's update (kElevatedUpdateFlag)
};

// Whether the program's arguments make it the elevated writing part of another run's update.
inline bool isElevatedRun(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (runtime::fromUtf8(argv[i]) == kElevatedUpdateFlag)
            return true;
    }
    return false;
}

// Shows the window frmGuncel of this system's view (Qt on Linux, Win32 on Windows) and runs
// its events until it is closed; the program's exit status. The updater's own folder is the
// folder of the running program, and its message boxes are the view's.
int runUpdaterWindow(int argc, char* argv[], const UpdaterSetup& setup);
