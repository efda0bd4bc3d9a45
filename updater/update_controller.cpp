#include "updater/update_controller.h"

#include "download/internet_file_dispatch.h"
#include "platform/runtime/binary_file.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <array>
#include <cmath>

namespace {

constexpr std::u16string_view kCheckingConnection = u"İnternet bağlantınız kontrol ediliyor";
constexpr std::u16string_view kCheckConnectionMessage =
    u"Lütfen internet bağlantınızı kontrol ederek yeniden deneyiniz.";
constexpr std::u16string_view kNoConnection = u"İnternet bağlantısı sağlanamadı";
constexpr std::u16string_view kUpdateErrorTitle = u"Güncelleme Hatası";
constexpr std::u16string_view kCancelled = u"Güncelleme iptal edildi";
constexpr std::u16string_view kVelkora = u"Velkora";
constexpr std::u16string_view kDownloading = u"Dosya İndiriliyor Lütfen Bekleyiniz";
constexpr std::u16string_view kDownloadErrorPrefix = u"Dosya İndirme Hatası Oluştu:\r\n";
constexpr std::u16string_view kCompleted = u"Güncelleme başarıyla tamamlandı";
constexpr std::u16string_view kRestartMessage =
    u"Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden Başlatılacak.";
constexpr std::u16string_view kUnexpectedError =
    u"Beklenmedik Hata. Lirvane programınız çalışıyor olabilir. Hata Kodu:UPDT01";
constexpr std::u16string_view kInvalidDownload =
    u"İndirilen dosya geçerli bir program değil. Programınız değiştirilmedi.";
constexpr std::u16string_view kUpdateFailed = u"Güncelleme başarısız oldu";
constexpr std::u16string_view kUnsignedDownload =
    u"İndirilen dosyanın imzası doğrulanamadı. Programınız değiştirilmedi.";
constexpr std::u16string_view kCommunicationFailed =
    u"İletişim Kurulamadı. Lütfen tekrar deneyiniz. Problem devam ederse ürün kodununu e-posta ile bayinize iletiniz.";
constexpr std::u16string_view kConnectionErrorTitle = u"Bağlantı Hatası";
constexpr std::u16string_view kAnotherUpdateRunning = u"Bu klasörde başka bir güncelleme sürüyor. Lütfen bekleyiniz.";
constexpr std::u16string_view kNoWriteAccess =
    u"Programın kurulu olduğu klasöre yazma izniniz yok ve yönetici izni alınamadı. Güncelleme yapılmadı, programınız "
    u"değiştirilmedi.";
// Where the system never asks for an administrator's consent.
constexpr std::u16string_view kNoWriteRights =
    u"Programın kurulu olduğu klasöre yazma izniniz yok. Güncelleme yapılmadı, programınız değiştirilmedi.";
constexpr std::u16string_view kFolderProblem = u"Güncelleme klasöründe bir sorun var:";
constexpr std::u16string_view kProgramUnchanged = u"Programınız değiştirilmedi.";

constexpr std::u16string_view kSignatureSuffix = u".minisig";

std::u16string text(std::u16string_view view)
{
    return std::u16string(view);
}

// A host as built in, with its scheme: "https://" when it says so, "http://" otherwise.
std::u16string origin(const std::u16string& host)
{
    if (host.starts_with(u"https://") || host.starts_with(u"http://"))
        return host;
    return u"http://" + host;
}

// The name of the file a file-name text names, as its signature names it: the last part of
// the path, without the line breaks and tabs that the URL drops too.
std::u16string fileNameOf(const std::u16string& named)
{
    std::u16string name;
    for (const char16_t c : named) {
        if (c != u'\r' && c != u'\n' && c != u'\t')
            name += c;
    }
    const auto slash = name.find_last_of(u'/');
    return slash == std::u16string::npos ? name : name.substr(slash + 1);
}

// What kept a file of the folder from use, as the user reads it after the file's name.
std::u16string_view problemText(runtime::FileProblem problem)
{
    switch (problem) {
    case runtime::FileProblem::NoAccess: return u"erişim izniniz yok";
    case runtime::FileProblem::InUse: return u"başka bir program tarafından kullanılıyor";
    case runtime::FileProblem::DiskFull: return u"disk dolu";
    case runtime::FileProblem::Folder: return u"bu adda bir klasör var";
    case runtime::FileProblem::Missing: return u"bulunamadı";
    case runtime::FileProblem::Other: break;
    }
    return u"okunamadı ya da yazılamadı";
}

}  // namespace

UpdateController::UpdateController(UpdaterSetup setup, UpdaterProgram program, UpdateView& view,
                                   ReleaseFileReader& releaseFiles, controls::Dispatch& ctlIFile)
    : m_setup(std::move(setup))
    , m_program(std::move(program))
    , m_view(view)
    , m_releaseFiles(releaseFiles)
    , m_ctlIFile(ctlIFile)
    , m_installer(m_setup.shell, m_releaseFiles, m_program.appFolder, m_setup.updateKey, m_setup.minimumTimestamp)
{
}

std::u16string UpdateController::versionFileUrl(const std::u16string& server)
{
    return origin(server) + u"/lirvane/lirvanesurumPlus2.txt";
}

std::u16string UpdateController::fileNameFileUrl(const std::u16string& server)
{
    return origin(server) + u"/lirvane/lirvanedosyaPlus2.txt";
}

std::u16string UpdateController::baseUrl(const std::u16string& server)
{
    return origin(server) + u"/lirvane/";
}

void UpdateController::Form_Load()
{
    iptaledildi = false;
    // A run with an administrator's rights starts nothing a user could take them from: a
    // browser opened here would be one "Open" away from an administrator's shell.
    if (m_setup.elevated)
        m_view.setLinkEnabled(false);
}

void UpdateController::basla_Click()
{
    // The button stays enabled while the version text is read: a press then is this update's
    // own, and the folder stays locked until it has ended.
    if (m_folderLock)
        return;
    if (!m_setup.shell.canWriteIn(m_program.appFolder)) {
        if (m_setup.elevated)
            return m_program.endProgram(updater_exit::kCannotWrite);  // the run that asked says so
        if (!m_setup.shell.offersElevation()) {
            m_program.boxes.show(text(kNoWriteRights), text(kUpdateErrorTitle), MessageIcon::Exclamation);
            m_view.setStatusText(text(kUpdateFailed));
            return;
        }
        return updateElevated();
    }
    // A second updater in this folder would write the same download and swap the same
    // program: it waits for the first, touching nothing.
    try {
        m_folderLock = m_setup.shell.lockFolder(m_program.appFolder);
    } catch (const runtime::FileError& error) {
        return showFolderProblem(error);
    }
    if (!m_folderLock) {
        m_program.boxes.show(text(kAnotherUpdateRunning), text(kUpdateErrorTitle), MessageIcon::Exclamation);
        return;
    }
    struct Unlock {
        std::unique_ptr<shell::FolderLock>& lock;
        ~Unlock() { lock.reset(); }
    } unlock{m_folderLock};
    m_installer.sweepStaleStages();
    // What an earlier update of this window left when it was cancelled goes with it, unless it
    // was kept, with its record, for this one to continue.
    if (iptaledildi && !m_installer.keptPart())
        m_installer.removeDownload();
    iptaledildi = false;

    m_view.setStatusText(text(kCheckingConnection));
    // The update server, then its mirrors: the first that serves a whole update gives it.
    const std::vector<std::u16string> servers = updateServers();
    for (std::size_t i = 0; i < servers.size(); ++i) {
        if (updateFrom(servers[i], i + 1 == servers.size()) || abandoned())
            return;
    }
}

std::vector<std::u16string> UpdateController::updateServers() const
{
    std::vector<std::u16string> servers{m_setup.updateHost};
    servers.insert(servers.end(), m_setup.mirrors.begin(), m_setup.mirrors.end());
    return servers;
}

bool UpdateController::updateFrom(const std::u16string& server, bool lastServer)
{
    // One server serves the whole attempt: its version text, its file-name text, its program.
    // A server before the last that fails in it says nothing: the next one is asked.
    m_lastServer = lastServer;
    m_serverFailed = false;
    bool browserokundu = false;
    const std::u16string surum = runtime::trimSpaces(UrlOku(versionFileUrl(server), browserokundu));
    if (abandoned())
        return true;
    if (surum.empty()) {
        if (!lastServer)
            return false;
        m_program.boxes.show(text(kCheckConnectionMessage), text(kUpdateErrorTitle), MessageIcon::Information);
        m_view.setStatusText(text(kNoConnection));
        return true;
    }

    showDownloadButtons();
    const std::u16string dosyaadi = runtime::trimSpaces(UrlOku(fileNameFileUrl(server), browserokundu));
    if (abandoned())
        return true;
    if (dosyaadi.empty() && !lastServer)
        return false;
    std::u16string dosya = m_installer.downloadPath();
    m_downloadUrl = baseUrl(server) + dosyaadi;
    m_fileName = fileNameOf(dosyaadi);
    auto [form, yol] = smallestForm(m_downloadUrl);
    if (abandoned())
        return true;
    m_form = form;
    m_fallingBack = false;
    try {
        // A part that a cut download of this very program left continues; any other goes.
        // The download is written into a file of this updater's, never through what an
        // earlier run or anyone else left under its name.
        m_resuming =
            m_form == delta::Form::Whole ? m_installer.resumablePart(runtime::toUtf8(m_fileName)) : std::nullopt;
        if (!m_resuming)
            m_installer.prepareDownload();
        indir(yol, dosya);
        // A smaller form, or a part continued, that gave no program is followed by the
        // program itself, whole, once.
        if (std::exchange(m_fallingBack, false) && !abandoned()) {
            m_form = delta::Form::Whole;
            m_resuming.reset();
            yol = m_downloadUrl;
            m_installer.prepareDownload();
            indir(yol, dosya);
        }
    } catch (const runtime::FileError& error) {
        showFolderProblem(error);
        showFailed();
    } catch (const runtime::RuntimeError& error) {
        // The control ended without an event (local file, size or count error): say so, drop
        // what was written, and let the user try again.
        m_program.boxes.show(text(kDownloadErrorPrefix) + error.description(), u"", MessageIcon::Exclamation);
        showFailed();
    }
    return !m_serverFailed;
}

void UpdateController::indir(std::u16string& yol, std::u16string& dosya)
{
    UrlAyarla(yol);
    m_ctlIFile.setLocalFile(runtime::trimSpaces(dosya));
    m_downloading = true;
    try {
        // Every update learns the size afresh: the control asks only before its first download.
        m_ctlIFile.requestInformation();
        // The kept part continues while the server's file is as large as when it was cut, and
        // only with the validator its bytes came with: a file changed since comes whole.
        if (m_resuming && m_ctlIFile.fileSize() != m_resuming->size) {
            m_resuming.reset();
            m_installer.prepareDownload();
        }
        m_transferEnded = false;
        if (abandoned()) {
        } else if (m_resuming) {
            m_ctlIFile.setResumeValidator(runtime::fromUtf8(m_resuming->validator));
            m_ctlIFile.resumeDownload();
            // ResumeDownload keeps a local file's error to itself: it ended without an event.
            if (!m_transferEnded)
                throw runtime::RuntimeError(runtime::error::kPathFileAccessError);
        } else {
            m_ctlIFile.startDownload();
        }
    } catch (...) {
        m_downloading = false;
        throw;
    }
    m_downloading = false;
    if (m_windowClosed) {
        // The window was closed during the transfer, which was cancelled: drop its part.
        m_installer.removeDownload();
    }
}

void UpdateController::updateElevated()
{
    // This window waits while the writing part shows its own; it can neither cancel nor start
    // another meanwhile.
    for (const Button button : {Button::basla, Button::btniptal, Button::cmdClose})
        m_view.setButtonEnabled(button, false);
    const std::optional<int> status =
        m_setup.shell.runElevated(kElevatedUpdateFlag, [this] { m_view.processEvents(); });
    if (m_windowClosed)
        return;  // the user closed this window meanwhile: nothing more is shown or started
    if (status == updater_exit::kInstalled) {
        ProgramiBaslat();  // as this user, never as the administrator
        return m_program.endProgram(updater_exit::kInstalled);
    }
    if (!status || *status == updater_exit::kCannotWrite)
        m_program.boxes.show(text(kNoWriteAccess), text(kUpdateErrorTitle), MessageIcon::Exclamation);
    m_view.setStatusText(text(kUpdateFailed));
    showIdleButtons();
}

void UpdateController::UrlAyarla(std::u16string& yol)
{
    m_ctlIFile.setUrl(yol);
    m_ctlIFile.setPort(80);
    m_ctlIFile.setConnectType(0);
}

inet::WaitCallback UpdateController::windowWait()
{
    return [this] {
        m_view.processEvents();
        return !abandoned();
    };
}

std::pair<delta::Form, std::u16string> UpdateController::smallestForm(const std::u16string& programUrl)
{
    const auto installed = m_installer.installedHash();
    const auto text = installed ? m_releaseFiles.read(delta::indexUrl(programUrl), windowWait()) : std::nullopt;
    const auto index = text ? delta::parseIndex(*text) : std::nullopt;
    if (index && index->patchSources.contains(*installed))
        return {delta::Form::Patch, delta::patchUrl(programUrl, *installed)};
    if (index && index->compressed)
        return {delta::Form::Compressed, delta::compressedUrl(programUrl)};
    return {delta::Form::Whole, programUrl};
}

void UpdateController::fallBack()
{
    m_installer.removeDownload();
    m_fallingBack = true;
}

std::u16string UpdateController::UrlOku(const std::u16string& Url, bool& browserokundu)
{
    // The window's events go on while a reader waits; a close or a cancel gives the read up.
    const inet::WaitCallback wait = windowWait();
    std::u16string result;
    // A server before the last is tried once and silently: the next one is there.
    for (bool retried = !m_lastServer;; retried = true) {
        try {
            std::u16string document = m_setup.Inet1.OpenURL(runtime::trimSpaces(Url), wait);
            browserokundu = false;
            if (runtime::findText(document, u"html") > 0) {
                m_setup.WebBrowser1.Navigate(Url, wait);
                m_setup.shell.sleep(std::chrono::milliseconds(1));
                m_view.processEvents();
                document = m_setup.WebBrowser1.DocumentBodyInnerText();
                browserokundu = true;
                if (runtime::findText(document, u"html") > 0)
                    document = u"no";
            }
            return document;
        } catch (const runtime::RuntimeError&) {
            // A read the user gave up is no failure to report, and not worth a second try.
            if (abandoned())
                return result;
            if (retried)
                break;
        }
    }
    if (m_lastServer)
        m_program.boxes.show(text(kCommunicationFailed), text(kConnectionErrorTitle), MessageIcon::Information);
    return result;
}

void UpdateController::btniptal_Click()
{
    iptaledildi = true;
    m_ctlIFile.cancelDownload();
    m_program.boxes.show(text(kCancelled), text(kVelkora), MessageIcon::Exclamation);
    m_view.setProgressText(u"");
    m_view.setStatusText(text(kCancelled));
    showIdleButtons();
}

void UpdateController::cmdClose_Click()
{
    m_program.endProgram(closedStatus());
}

void UpdateController::Form_QueryUnload()
{
    // A window closed inside a running handler (the check or the transfer) ends that handler's
    // work; a transfer is cancelled, and its part deleted once it has ended.
    m_windowClosed = true;
    if (m_downloading) {
        try {
            m_ctlIFile.cancelDownload();
        } catch (const runtime::RuntimeError&) {
        }
    }
    if (iptaledildi)
        deleteCancelledDownload();
}

void UpdateController::lblActive_Click()
{
    if (m_setup.elevated)
        return;
    m_setup.shell.openDocument(runtime::trimSpaces(origin(m_setup.vendorHost)));
}

void UpdateController::ctlIFile_DownloadProgress(std::int32_t& lBytesRead)
{
    m_written = lBytesRead;  // on the disk before the event: what a cut leaves to continue
    // After a cancel the window already shows it; the chunk read before the control noticed
    // must not paint the download back.
    if (iptaledildi)
        return;
    const std::int32_t size = m_ctlIFile.fileSize();
    // An unknown size (-1) shows no progress, and neither does 0, which no percentage can use.
    if (size <= 0)
        return;
    m_view.setProgressMax(size);
    m_view.setProgressValue(lBytesRead);
    m_view.setStatusText(text(kDownloading));
    const auto percent =
        static_cast<std::int64_t>(std::floor(static_cast<double>(static_cast<std::int64_t>(lBytesRead) * 100) / size));
    m_view.setProgressText(u"%" + runtime::fromUtf8(std::to_string(percent)));
    m_setup.shell.sleep(std::chrono::milliseconds(10));
    m_view.processEvents();
}

void UpdateController::ctlIFile_DownloadError(std::u16string& sErrorDescription)
{
    m_transferEnded = true;
    // A smaller form that cannot be had is no failure to tell: the program itself follows.
    if (m_form != delta::Form::Whole)
        return fallBack();
    keepPart(m_written);
    // A server before the last says nothing of its failure: the next one is asked.
    if (!m_lastServer) {
        m_serverFailed = true;
        return;
    }
    m_program.boxes.show(text(kDownloadErrorPrefix) + sErrorDescription, u"", MessageIcon::Exclamation);
}

void UpdateController::ctlIFile_DownloadCancelled(std::int32_t& lPosition)
{
    m_transferEnded = true;
    if (m_form == delta::Form::Whole)
        keepPart(lPosition);
    m_view.setProgressValue(0);
}

void UpdateController::keepPart(std::int32_t length)
{
    // A patch is small: only the program itself is worth continuing, and only with the
    // validator of the bytes written, which the control knows.
    const PartRecord record{runtime::toUtf8(m_fileName), m_ctlIFile.fileSize(),
                            runtime::toUtf8(m_ctlIFile.resumeValidator()), length};
    if (PartRecord::parse(record.text()))
        m_installer.keepPart(record);
}

void UpdateController::ctlIFile_DownloadComplete()
{
    m_transferEnded = true;
    Installer& installer = m_installer;
    struct Release {
        Installer& installer;
        ~Release() { installer.release(); }
    } release{installer};
    const bool whole = m_form == delta::Form::Whole;
    // A smaller form, or a part continued, that gives no checked program is no failure to tell:
    // the program itself follows, whole and fresh, never continued again.
    const bool followed = !whole || m_resuming;
    try {
        if (!whole && !installer.rebuildDownload(m_form))
            return fallBack();
        // The size the server gave is the program's only when the program itself came.
        const Candidate candidate{whole ? m_ctlIFile.fileSize() : -1, m_fileName,
                                  m_downloadUrl + text(kSignatureSuffix)};
        switch (installer.check(candidate, windowWait())) {
        case Installer::Verdict::NotAProgram:
            if (followed)
                return fallBack();
            m_program.boxes.show(text(kInvalidDownload), text(kUpdateErrorTitle), MessageIcon::Critical);
            return showFailed();
        case Installer::Verdict::NotSigned:
            if (abandoned())
                return m_installer.removeDownload();  // the cancel has told the user already
            if (followed)
                return fallBack();
            m_program.boxes.show(text(kUnsignedDownload), text(kUpdateErrorTitle), MessageIcon::Critical);
            return showFailed();
        case Installer::Verdict::GivenUp: return m_installer.removeDownload();
        case Installer::Verdict::Accepted:
            if (abandoned())
                return m_installer.removeDownload();
            break;
        }
        // Whatever can stop the swap without a file of the folder touched stops it here,
        // before the box says the update is done.
        installer.prepareInstall();
        // The install cannot be cancelled: " İptal" goes before anything may press it.
        m_view.setButtonEnabled(Button::btniptal, false);
        m_view.setStatusText(text(kCompleted));
        m_program.boxes.show(text(kRestartMessage), text(kVelkora), MessageIcon::Information);
        installer.install();
    } catch (const runtime::FileError& error) {
        showFolderProblem(error);
        return showFailed();
    } catch (const runtime::RuntimeError&) {
        m_program.boxes.show(text(kUnexpectedError), text(kUpdateErrorTitle), MessageIcon::Critical);
        m_view.setStatusText(text(kUpdateFailed));
        m_view.setProgressText(u"");
        m_installer.removeDownload();
        // The window stays in the download's state, which " İptal" leaves.
        m_view.setButtonEnabled(Button::btniptal, true);
        return;
    }
    m_installer.removeDownload();
    // The writing part of another run leaves the start to that run, which runs as its user.
    if (!m_setup.elevated)
        ProgramiBaslat();
    m_program.endProgram(updater_exit::kInstalled);
}

void UpdateController::showFolderProblem(const runtime::FileError& error)
{
    // A file of the folder is named as the folder's own, anything else by its whole path.
    std::u16string name = error.path();
    const std::u16string folder = m_program.appFolder;
    if (name.size() > folder.size() + 1 && name.starts_with(folder)
        && (name[folder.size()] == u'\\' || name[folder.size()] == u'/'))
        name.erase(0, folder.size() + 1);
    m_program.boxes.show(text(kFolderProblem) + u"\r\n" + name + u": " + text(problemText(error.problem())) + u"\r\n"
                             + text(kProgramUnchanged),
                         text(kUpdateErrorTitle), MessageIcon::Exclamation);
}

void UpdateController::deleteCancelledDownload()
{
    // The download is this updater's only while it holds the folder, or can take it now.
    if (m_folderLock) {
        m_installer.removeDownload();
        return;
    }
    try {
        if (const auto lock = m_setup.shell.lockFolder(m_program.appFolder))
            m_installer.removeDownload();
    } catch (const runtime::RuntimeError&) {
    }
}

void UpdateController::showFailed()
{
    m_installer.removeDownload();
    m_view.setStatusText(text(kUpdateFailed));
    m_view.setProgressText(u"");
    showIdleButtons();
}

void UpdateController::ProgramiBaslat()
{
    try {
        m_setup.shell.startProgram(m_installer.programPath());
    } catch (const runtime::RuntimeError&) {
    }
}

void UpdateController::showIdleButtons()
{
    m_view.setButtonEnabled(Button::btniptal, false);
    m_view.setButtonEnabled(Button::basla, true);
    m_view.setButtonEnabled(Button::cmdClose, true);
}

void UpdateController::showDownloadButtons()
{
    m_view.setButtonEnabled(Button::btniptal, true);
    m_view.setButtonEnabled(Button::basla, false);
    m_view.setButtonEnabled(Button::cmdClose, false);
}

InternetFileHandlers UpdateController::downloadHandlers()
{
    return {
        .DownloadProgress = [this](std::int32_t& lBytesRead) { ctlIFile_DownloadProgress(lBytesRead); },
        .DownloadError = [this](std::u16string& sErrorDescription) { ctlIFile_DownloadError(sErrorDescription); },
        .DownloadCancelled = [this](std::int32_t& lPosition) { ctlIFile_DownloadCancelled(lPosition); },
        .DownloadComplete = [this] { ctlIFile_DownloadComplete(); },
    };
}
