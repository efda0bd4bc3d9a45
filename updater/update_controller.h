#pragma once

#include "download/internet_file_events.h"
#include "platform/controls/dispatch.h"
#include "platform/runtime/runtime_error.h"
#include "updater/download_control.h"
#include "updater/installer.h"
#include "updater/signature.h"
#include "updater/update_view.h"
#include "updater/updater_setup.h"
#include "updater/url_readers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The logic behind the window frmGuncel: its load and close handling, the buttons, the link
// label, the reading of the server's texts and the reactions to the download control's events,
// up to the swap of the application's executable. It reaches the download control `ctlIFile`
// only through its dispatch interface (DownloadControl), as any host would, and handles its
// events as downloadHandlers() names them.
// Everything runs on the window's thread; handlers nest inside the `basla` click while a
// download runs.
class UpdateController {
public:
    // The setup's services, the program's boxes, the view, the reader and the control must
    // outlive the controller.
    UpdateController(UpdaterSetup setup, UpdaterProgram program, UpdateView& view, ReleaseFileReader& releaseFiles,
                     controls::Dispatch& ctlIFile);

    // Handlers of the window.
    void Form_Load();
    void basla_Click();
    void btniptal_Click();
    void cmdClose_Click();
    void Form_QueryUnload();
    void lblActive_Click();

    void indir(std::u16string& yol, std::u16string& dosya);

    // The elevated writing part starts its update as soon as its window shows.
    bool startsAtOnce() const { return m_setup.elevated; }
    // The exit status of this run when its window is closed.
    int closedStatus() const { return m_setup.elevated ? updater_exit::kNotInstalled : updater_exit::kInstalled; }
    std::u16string UrlOku(const std::u16string& Url, bool& browserokundu);

    // Handlers of ctlIFile's events.
    void ctlIFile_DownloadProgress(std::int32_t& lBytesRead);
    void ctlIFile_DownloadError(std::u16string& sErrorDescription);
    void ctlIFile_DownloadCancelled(std::int32_t& lPosition);
    void ctlIFile_DownloadComplete();
    // The handlers above, as a site of ctlIFile passes its events on.
    InternetFileHandlers downloadHandlers();

    // The fixed addresses, as built from a server's host (the update server's or a mirror's).
    static std::u16string versionFileUrl(const std::u16string& server);
    static std::u16string fileNameFileUrl(const std::u16string& server);
    static std::u16string baseUrl(const std::u16string& server);

private:
    void UrlAyarla(std::u16string& yol);
    // The folder cannot be written by this run: its writing part runs with an administrator's
    // rights, and this run starts the program it installed.
    void updateElevated();
    void ProgramiBaslat();
    // Deletes the download after a cancel, when no other updater works in the folder.
    void deleteCancelledDownload();
    // The update failed and the window says so: no partial download, idle buttons.
    void showFailed();
    // Names the file of the folder that kept the update from going on, and what kept it.
    void showFolderProblem(const runtime::FileError& error);
    // The user closed the window or pressed cancel since the update began.
    bool abandoned() const { return m_windowClosed || iptaledildi; }
    // Runs the window's events while the network is waited on; a cancel or a close gives up.
    inet::WaitCallback windowWait();
    // The smallest form of the program at `programUrl` that fits the installed program, and
    // where it lies: a patch of it, else the program compressed, else the program itself, as
    // the release's index says (one small request).
    std::pair<delta::Form, std::u16string> smallestForm(const std::u16string& programUrl);
    // A smaller form that did not give a checked program: the whole program follows.
    void fallBack();
    // Keeps what the download wrote, `length` bytes, for the next attempt to continue, when
    // the control knows the validator of those bytes.
    void keepPart(std::int32_t length);
    // The update server, then its mirrors, in the order they are tried.
    std::vector<std::u16string> updateServers() const;
    // One whole attempt from `server`. False when it failed in a way that lets the next server
    // try (not reached, an error answer, a cut), which only a server before the last does;
    // true when the update ended here: installed, refused, cancelled, or failed and said so.
    bool updateFrom(const std::u16string& server, bool lastServer);
    void showIdleButtons();
    void showDownloadButtons();

    UpdaterSetup m_setup;
    UpdaterProgram m_program;
    UpdateView& m_view;
    ReleaseFileReader& m_releaseFiles;
    DownloadControl m_ctlIFile;
    bool m_downloading = false;
    bool m_windowClosed = false;
    // " İptal" was pressed in this update: what is read and drawn for it is given up, and a
    // close then deletes the part downloaded.
    bool iptaledildi = false;
    std::u16string m_downloadUrl;             // of this update's program
    std::u16string m_fileName;                // as the file-name text named it
    delta::Form m_form = delta::Form::Whole;  // of what the download control fetches now
    bool m_fallingBack = false;               // the whole program follows in this press
    std::optional<PartRecord> m_resuming;     // the part of a cut download this one continues
    std::int32_t m_written = 0;               // bytes of the download on the disk, as last told
    bool m_transferEnded = false;             // the control raised the download's ending event
    bool m_lastServer = true;                 // no other server follows the one asked now
    bool m_serverFailed = false;              // it failed: the next one is asked
    Installer m_installer;                    // the folder's files: the download, the program and its stages
    // Held while an update runs: one updater at a time works in the folder.
    std::unique_ptr<shell::FolderLock> m_folderLock;
};
