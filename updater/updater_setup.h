#pragma once

#include "platform/inet/internet.h"
#include "platform/runtime/text.h"
#include "platform/shell/shell.h"
#include "updater/signature.h"
#include "updater/update_view.h"
#include "updater/url_readers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An updater run that cannot write its folder asks the system to run it again with an
// administrator's rights and this flag: that run, the update's writing part, downloads, checks
// and installs on its own and ends with one of these statuses, never starting the program.
inline constexpr std::u16string_view kElevatedUpdateFlag = u"--elevated-update";
namespace updater_exit {
inline constexpr int kInstalled = 0;     // also every end of a run that was not asked to write
inline constexpr int kNotInstalled = 1;  // the writing part told its user why, or was closed
inline constexpr int kCannotWrite = 3;   // even with those rights the folder cannot be written
}  // namespace updater_exit

// What the updater's program fixes for its window, whichever view shows it: the services it
// works through and the vendor's settings.
struct UpdaterSetup {
    inet::Internet& internet;
    shell::Shell& shell;
    Inet1Control& Inet1;
    WebBrowserControl& WebBrowser1;
    std::u16string updateHost;  // host[:port] of the update server, optionally led by "https://"
    std::u16string vendorHost;  // host of the vendor's web site, optionally led by "https://"
    std::optional<signature::PublicKey> updateKey = std::nullopt;  // with one, only programs it signed install
    std::uint64_t minimumTimestamp = 0;                            // seconds since 1970: nothing signed earlier
    bool elevated = false;  // the elevated writing part of another run's update (kElevatedUpdateFlag)
    // Servers of the same form as updateHost, tried in this order after it when it fails.
    std::vector<std::u16string> mirrors = {};
};

// What the running program gives its window besides the setup: the message boxes of its view,
// the end of the process, and the updater's own folder.
struct UpdaterProgram {
    MessageBoxes& boxes;
    std::function<void(int status)> endProgram;  // ends the process at once with an updater_exit status
    std::u16string appFolder;                    // without a trailing separator
};

// The folder an updater run works in, held for the run: its own file's folder, resolved once.
// nullptr for the elevated writing part when it was not started by that folder's final path:
// a link that its user may point elsewhere during the run would then choose where an
// administrator's rights write.
inline std::unique_ptr<shell::ProgramFolder> updaterFolder(bool elevated)
{
    auto folder = shell::holdProgramFolder();
    if (elevated && !folder->startedByFinalPath())
        return nullptr;
    return folder;
}

// The servers of a list of them, each ended by ";" (build_config::kUpdateMirrors).
inline std::vector<std::u16string> serverList(std::u16string_view list)
{
    std::vector<std::u16string> servers;
    for (auto end = list.find(u';'); end != std::u16string_view::npos; end = list.find(u';')) {
        if (end > 0)
            servers.emplace_back(list.substr(0, end));
        list.remove_prefix(end + 1);
    }
    return servers;
}

// Whether the program's arguments make it the elevated writing part of another run's update.
inline bool isElevatedRun(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (runtime::fromUtf8(argv[i]) == kElevatedUpdateFlag)
            return true;
    }
    return false;
}
