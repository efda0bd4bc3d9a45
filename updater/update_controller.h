#pragma once

#include "platform/controls/control_site.h"
#include "platform/controls/dispatch.h"
#include "platform/runtime/runtime_error.h"
#include "platform/shell/shell.h"
#include "updater/installer.h"
#include "updater/signature.h"
#include "updater/signature_reader.h"
#include "updater/update_view.h"
#include "updater/url_readers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// An updater run that cannot write its folder asks the system to run it again with an
// administrator's rights and this flag: that run, the update's writing part, downloads, checks
// and installs on its own and ends with one of these statuses, never starting the program.
inline constexpr std::u16string_view kElevatedUpdateFlag = u"--elevated-update";
namespace updater_exit {
inline constexpr int kInstalled = 0;     // also every end of a run that was not asked to write
inline constexpr int kNotInstalled = 1;  // the writing part told its user why, or was closed
inline constexpr int kCannotWrite = 3;   // even with those rights the folder cannot be written
}  // namespace updater_exit

// Everything the update procedure works with besides the download control.
struct UpdaterEnvironment {
    UpdateView& view;
    MessageBoxes& boxes;
    shell::Shell& shell;
    Inet1Control& Inet1;
    WebBrowserControl& WebBrowser1;
    std::function<void()> doEvents;    // processes the window's pending events once
    // Ends the process at once with an exit status (updater_exit); does not return in production.
    std::function<void(int status)> endProgram;
    std::u16string appFolder;          // the updater's own folder, without a trailing separator
    std::u16string updateHost;         // host[:port] of the update server, optionally led by "https://"
    std::u16string vendorHost;         // host of the vendor's web site, optionally led by "https://"
    SignatureReader& signatures;
    // The vendor's key: with one, only programs it signed are installed.
    std::optional<signature::PublicKey> updateKey;
    // Seconds since 1970: no program signed earlier is installed.
    std::uint64_t minimumTimestamp = 0;
    // This run is the elevated writing part of another's update (kElevatedUpdateFlag).
    bool elevated = false;
};

// The logic behind the window frmGuncel: its load and close handling, the buttons, the link
// label, the reading of the server's texts and the reactions to the download control's events,
// up to the swap of the application's executable. It reaches the download control `ctlIFile`
// only through its dispatch identifiers and receives its events as the control's site.
// Everything runs on the window's thread; handlers nest inside the `basla` click while a
// download runs.
class UpdateController : public controls::ControlSite {
public:
    UpdateController(UpdaterEnvironment environment, controls::Dispatch& ctlIFile);

    // Handlers of the window.
    void Form_Load();
    void basla_Click();
    void btniptal_Click();
    void cmdClose_Click();
    void Form_QueryUnload();
    void lblActive_Click();

    void indir(std::u16string& yol, std::u16string& dosya);

    // The elevated writing part starts its update as soon as its window shows.
    bool startsAtOnce() const { return m_env.elevated; }
    // The exit status of this run when its window is closed.
    int closedStatus() const { return m_env.elevated ? updater_exit::kNotInstalled : updater_exit::kInstalled; }
    std::u16string UrlOku(const std::u16string& Url, bool& browserokundu);

    // Handlers of ctlIFile's events.
    void ctlIFile_DownloadProgress(std::int32_t& lBytesRead);
    void ctlIFile_DownloadError(std::u16string& sErrorDescription);
    void ctlIFile_DownloadCancelled(std::int32_t& lPosition);
    void ctlIFile_DownloadComplete();

    bool iptaledildi = false;

    // The fixed addresses, as built from the hosts.
    std::u16string versionFileUrl() const;
    std::u16string fileNameFileUrl() const;
    std::u16string baseUrl() const;

private:
    void UrlAyarla(std::u16string& yol);
    // The folder cannot be written by this run: its writing part runs with an administrator's
    // rights, and this run starts the program it installed.
    void updateElevated();
    void ProgramiBaslat();
    void deleteDownload();
    // Deletes the download after a cancel, when no other updater works in the folder.
    void deleteCancelledDownload();
    // The update failed and the window says so: no partial download, idle buttons.
    void showFailed();
    // Names the file of the folder that kept the update from going on, and what kept it.
    void showFolderProblem(const runtime::FileError& error);
    // The user closed the window or pressed cancel since the update began.
    bool abandoned() const;
    void showIdleButtons();
    void showDownloadButtons();

    void propertyChanged(std::u16string_view name) override;
    void raiseEvent(const controls::EventInfo& event, std::span<runtime::Variant> args) override;

    UpdaterEnvironment m_env;
    controls::Dispatch& m_ctlIFile;
    bool m_downloading = false;
    bool m_windowClosed = false;
    bool m_cancelled = false;
    std::u16string m_downloadUrl;  // of this update's program
    std::u16string m_fileName;     // as the file-name text named it
    Installer m_installer;         // the folder's files: the download, the program and its stages
    // Held while an update runs: one updater at a time works in the folder.
    std::unique_ptr<shell::FolderLock> m_folderLock;
};
