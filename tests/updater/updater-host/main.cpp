// The updater as its program runs it, for end-to-end tests that drive its real window: the
// hosts, the key and the floor that a vendor's build fixes come from the command line instead.
//   updater-host --update-host HOST [--mirror HOST]... [--vendor-host HOST] [--key RW...] [--floor SECONDS]
//                [--elevated-update]
#include "platform/inet/internet.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"
#include "updater/updater_window.h"
#include "updater/url_readers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char* argv[])
{
    shell::loadLibrariesFromSystemOnly();
    std::u16string updateHost;
    std::u16string vendorHost = u"www.velkora.example";
    std::optional<signature::PublicKey> key;
    std::uint64_t floor = 0;
    std::vector<std::u16string> mirrors;
    const bool elevated = isElevatedRun(argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (runtime::fromUtf8(argv[i]) == kElevatedUpdateFlag) {
            --i;  // a flag without a value
            continue;
        }
        const std::string value = argv[i + 1];
        if (std::strcmp(argv[i], "--update-host") == 0)
            updateHost = runtime::fromAnsi(value);
        else if (std::strcmp(argv[i], "--mirror") == 0)
            mirrors.push_back(runtime::fromAnsi(value));
        else if (std::strcmp(argv[i], "--vendor-host") == 0)
            vendorHost = runtime::fromAnsi(value);
        else if (std::strcmp(argv[i], "--key") == 0 && !(key = signature::parsePublicKey(value)))
            return 64;
        else if (std::strcmp(argv[i], "--floor") == 0)
            floor = std::strtoull(value.c_str(), nullptr, 10);
    }
    if (updateHost.empty()) {
        std::fputs("usage: updater-host --update-host HOST [--vendor-host HOST] [--key RW...] [--floor SECONDS]\n",
                   stderr);
        return 64;
    }
    const auto internet = inet::systemInternet();
    const auto shell = shell::systemShell();
    InternetInet1 inet1(*internet);
    HtmlBrowser browser(*internet);
    return runUpdaterWindow(
        argc, argv,
        UpdaterSetup{*internet, *shell, inet1, browser, updateHost, vendorHost, key, floor, elevated, mirrors});
}
