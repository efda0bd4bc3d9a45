#include "platform/inet/internet.h"
#include "platform/shell/shell.h"
#include "updater/build_config.h"
#include "updater/updater_window.h"
#include "updater/url_readers.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    shell::loadLibrariesFromSystemOnly();
    // A key that was meant to be built in but cannot be read must not turn into no key at all.
    const auto updateKey = signature::parsePublicKey(build_config::kUpdatePublicKey);
    if (build_config::kUpdatePublicKey[0] != '\0' && !updateKey) {
        std::fputs("updatelirvane: the vendor's public key built into this updater is unusable\n", stderr);
        return EXIT_FAILURE;
    }

    const auto internet =
        inet::systemInternet(inet::kDefaultTimeouts, inet::TlsTrust{build_config::kUpdateAuthorities});
    const auto shell = shell::systemShell();
    InternetInet1 inet1(*internet);
    HtmlBrowser browser(*internet);
    return runUpdaterWindow(argc, argv,
                            UpdaterSetup{*internet, *shell, inet1, browser, build_config::kUpdateHost,
                                         build_config::kVendorHost, updateKey, build_config::kUpdateMinTimestamp,
                                         isElevatedRun(argc, argv), serverList(build_config::kUpdateMirrors)});
}
