#include "tests/support/fake_internet.h"
#include "tests/support/updater_fakes.h"
#include "updater/update_controller.h"

#include "tests/support/printable.h"
#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include "platform/runtime/binary_file.h"

#include <sodium.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
namespace ev = internet_file::event;
using runtime::Variant;

namespace {

constexpr char kCheckMessage[] =
    "box information [Güncelleme Hatası] Lütfen internet bağlantınızı kontrol ederek yeniden deneyiniz.";
constexpr char kCommunicationBox[] =
    "box information [Bağlantı Hatası] İletişim Kurulamadı. Lütfen tekrar deneyiniz. Problem devam ederse ürün "
    "kodununu e-posta ile bayinize iletiniz.";
constexpr char kRestartBox[] =
    "box information [Velkora] Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden Başlatılacak.";
constexpr char kUnexpectedBox[] =
    "box critical [Güncelleme Hatası] Beklenmedik Hata. Lirvane programınız çalışıyor olabilir. Hata Kodu:UPDT01";

class UpdateControllerTest : public testing::Test {
protected:
    UpdateControllerTest() { controller.Form_Load(); }

    static fs::path makeFolder()
    {
        // A folder whose path holds Turkish letters and spaces, like a user's.
        fs::path folder = test_programs::testFolder(u"Güncel Klasör");
        fs::create_directories(folder);
        return folder;
    }
    ~UpdateControllerTest() override { test_programs::removeFolder(m_folder); }

    std::u16string folder() const { return m_folder.u16string(); }
    void write(const std::string& name, const std::string& content, fs::perms perms = fs::perms::owner_all)
    {
        std::ofstream(m_folder / name, std::ios::binary) << content;
        if (test_programs::filesHavePermissions())
            fs::permissions(m_folder / name, perms);
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(m_folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return fs::exists(m_folder / name); }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    std::size_t position(const std::string& line) const
    {
        return static_cast<std::size_t>(std::find(log.begin(), log.end(), line) - log.begin());
    }
    // What the user sees and what is asked of the network, in order: the log less the pauses
    // that keep the window responsive.
    std::vector<std::string> visible() const
    {
        std::vector<std::string> lines;
        std::copy_if(log.begin(), log.end(), std::back_inserter(lines),
                     [](const std::string& line) { return line.rfind("sleep ", 0) != 0; });
        return lines;
    }
    // Lines starting with `prefix`, in order.
    std::vector<std::string> only(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        for (const auto& line : log) {
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    void raise(const controls::EventInfo& event, Variant argument = {})
    {
        std::array<Variant, 1> args{argument};
        site.raiseEvent(event, event.number == ev::DownloadComplete.number ? std::span<Variant>() : args);
    }
    // What this test's program gives a controller: `appFolder` as its folder; its end is logged,
    // with the status when `statuses` says so.
    UpdaterProgram program(std::u16string appFolder, bool statuses = false)
    {
        const auto end = [this, statuses](int status) {
            log.push_back(statuses ? "end " + std::to_string(status) : "end");
        };
        return {boxes, end, std::move(appFolder)};
    }
    // A run's setup that differs from this test's in the vendor's key or in being elevated.
    UpdaterSetup setupWith(std::optional<signature::PublicKey> key, bool elevated = false) const
    {
        UpdaterSetup changed = setup;
        changed.updateKey = std::move(key);
        changed.elevated = elevated;
        return changed;
    }

    fs::path m_folder = makeFolder();
    Log log;
    RecordingView view{log};
    RecordingBoxes boxes{log};
    RecordingShell shell{log};
    FakeInet1 inet1{log};
    FakeBrowser browser{log};
    FakeDownloadControl control{log};
    FakeReleaseFileReader releaseFiles{log};
    Log internetCalls;  // the controller reads through its readers only
    FakeInternet internet{internetCalls};
    const UpdaterSetup setup{internet, shell, inet1, browser, u"updates.example", u"www.example"};
    UpdateController controller{setup, program(folder()), view, releaseFiles, control};
    InternetFileSite site{controller.downloadHandlers()};
};

TEST_F(UpdateControllerTest, AddressesAreBuiltFromTheHosts)
{
    EXPECT_EQ(controller.versionFileUrl(u"updates.example"), u"http://updates.example/lirvane/lirvanesurumPlus2.txt");
    EXPECT_EQ(controller.fileNameFileUrl(u"updates.example"), u"http://updates.example/lirvane/lirvanedosyaPlus2.txt");
    EXPECT_EQ(controller.baseUrl(u"https://mirror.example:8443"), u"https://mirror.example:8443/lirvane/");
}

TEST_F(UpdateControllerTest, BlankVersionTextIsNoConnection)
{
    inet1.answers = {u"   "};
    controller.basla_Click();
    const Log expected = {"status İnternet bağlantınız kontrol ediliyor",
                          "Inet1 http://updates.example/lirvane/lirvanesurumPlus2.txt", kCheckMessage,
                          "status İnternet bağlantısı sağlanamadı"};
    EXPECT_EQ(log, expected);
}

TEST_F(UpdateControllerTest, AnyVersionTextStartsTheDownloadWithTheNameAsRead)
{
    inet1.answers = {u"no", u"  VelkoraLirvane.exe\r\n"};
    controller.basla_Click();
    const std::string down = u8(runtime::inFolder(folder(), u"\\VelkoraLirvane_down.exe"));
    const Log expected = {"status İnternet bağlantınız kontrol ediliyor",
                          "Inet1 http://updates.example/lirvane/lirvanesurumPlus2.txt",
                          "enable btniptal",
                          "disable basla",
                          "disable cmdClose",
                          "Inet1 http://updates.example/lirvane/lirvanedosyaPlus2.txt",
                          "stage VelkoraLirvane_down.exe",
                          "commit VelkoraLirvane_down.exe",
                          "put Url http://updates.example/lirvane/VelkoraLirvane.exe\r\n",
                          "put Port 80",
                          "put ConnectType 0",
                          "put LocalFile " + down,
                          "call RequestInformation",
                          "call StartDownload"};
    EXPECT_EQ(log, expected);
}

TEST_F(UpdateControllerTest, FailedFileNameReadDownloadsTheBareBase)
{
    inet1.answers = {u"2.0", std::nullopt, std::nullopt};
    controller.basla_Click();
    EXPECT_EQ(only("box"), Log{kCommunicationBox});
    EXPECT_TRUE(logged("put Url http://updates.example/lirvane/"));
    EXPECT_TRUE(logged("call StartDownload"));
}

TEST_F(UpdateControllerTest, UrlOkuReturnsPlainTextAsIs)
{
    inet1.answers = {u" 2.0\r\n"};
    bool browserokundu = true;
    EXPECT_EQ(controller.UrlOku(u"  http://h/v.txt ", browserokundu), u" 2.0\r\n");
    EXPECT_FALSE(browserokundu);
    EXPECT_EQ(log, Log{"Inet1 http://h/v.txt"});  // trimmed for Inet1
}

TEST_F(UpdateControllerTest, UrlOkuTakesTheBrowserWayForHtml)
{
    inet1.answers = {u"file.html"};
    browser.bodyText = u"visible text";
    bool browserokundu = false;
    EXPECT_EQ(controller.UrlOku(u" http://h/v.txt", browserokundu), u"visible text");
    EXPECT_TRUE(browserokundu);
    const Log expected = {"Inet1 http://h/v.txt", "navigate  http://h/v.txt", "innertext"};
    EXPECT_EQ(visible(), expected);  // the browser gets the untrimmed address

    inet1.answers = {u"<HTML>only capitals</HTML>"};
    EXPECT_EQ(controller.UrlOku(u"http://h/v.txt", browserokundu), u"<HTML>only capitals</HTML>");
    EXPECT_FALSE(browserokundu);

    inet1.answers = {u"<html>x</html>"};
    browser.bodyText = u"still html here";
    EXPECT_EQ(controller.UrlOku(u"http://h/v.txt", browserokundu), u"no");
}

TEST_F(UpdateControllerTest, UrlOkuRetriesOnceAndShowsOneMessage)
{
    inet1.answers = {std::nullopt, u"second"};
    bool browserokundu = false;
    EXPECT_EQ(controller.UrlOku(u"http://h/v.txt", browserokundu), u"second");
    EXPECT_TRUE(only("box").empty());

    inet1.answers = {std::nullopt, std::nullopt, u"never asked"};
    EXPECT_EQ(controller.UrlOku(u"http://h/v.txt", browserokundu), u"");
    EXPECT_EQ(only("box"), Log{kCommunicationBox});
    EXPECT_EQ(inet1.answers.size(), 1u);

    // A browser that has no document ready counts as a failed attempt.
    log.clear();
    inet1.answers = {u"html", u"html"};
    browser.bodyText.reset();
    EXPECT_EQ(controller.UrlOku(u"http://h/v.txt", browserokundu), u"");
    EXPECT_EQ(only("box"), Log{kCommunicationBox});
}

TEST_F(UpdateControllerTest, CancelWhenNothingRunsStillResetsTheWindow)
{
    controller.btniptal_Click();
    const Log expected = {"call CancelDownload",
                          "box exclamation [Velkora] Güncelleme iptal edildi",
                          "caption ",
                          "status Güncelleme iptal edildi",
                          "disable btniptal",
                          "enable basla",
                          "enable cmdClose"};
    EXPECT_EQ(log, expected);
}

TEST_F(UpdateControllerTest, CloseRequestDeletesThePartialFileOnlyAfterACancel)
{
    write("VelkoraLirvane_down.exe", "part");
    controller.Form_QueryUnload();
    EXPECT_TRUE(exists("VelkoraLirvane_down.exe"));

    controller.btniptal_Click();
    controller.Form_QueryUnload();
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
    controller.Form_QueryUnload();  // a missing file is passed over
}

TEST_F(UpdateControllerTest, CloseButtonEndsAndDeletesNothing)
{
    write("VelkoraLirvane_down.exe", "part");
    controller.btniptal_Click();
    log.clear();
    controller.cmdClose_Click();
    EXPECT_EQ(log, Log{"end"});
    EXPECT_TRUE(exists("VelkoraLirvane_down.exe"));
}

TEST_F(UpdateControllerTest, StartAgainAfterACancelDropsThePartAndRunsTheWholeCheck)
{
    write("VelkoraLirvane_down.exe", "part");
    controller.btniptal_Click();
    log.clear();
    inet1.answers = {u""};
    controller.basla_Click();
    EXPECT_EQ(log.front(), "delete VelkoraLirvane_down.exe");
    EXPECT_EQ(log.at(1), "status İnternet bağlantınız kontrol ediliyor");
    EXPECT_EQ(log.back(), "status İnternet bağlantısı sağlanamadı");
    controller.Form_QueryUnload();
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
}

TEST_F(UpdateControllerTest, ClosingDuringTheCheckStartsNoDownload)
{
    inet1.answers = {u"2.0"};
    inet1.onOpen = [this] { controller.Form_QueryUnload(); };
    controller.basla_Click();
    EXPECT_FALSE(logged("enable btniptal"));
    EXPECT_FALSE(logged("call StartDownload"));
}

TEST_F(UpdateControllerTest, LinkOpensTheVendorSiteButNeverWithAnAdministratorsRights)
{
    controller.lblActive_Click();
    EXPECT_EQ(log, Log{"open http://www.example"});

    log.clear();
    UpdateController writingPart{setupWith(std::nullopt, true), program(folder()), view, releaseFiles, control};
    writingPart.Form_Load();
    writingPart.lblActive_Click();
    EXPECT_EQ(log, Log{"disable lblActive"});
}

TEST_F(UpdateControllerTest, APressDuringItsOwnCheckDoesNothingAndTheFolderStaysLocked)
{
    inet1.answers = {u""};
    inet1.onOpen = [this] {
        controller.basla_Click();
        EXPECT_EQ(shell::systemShell()->lockFolder(folder()), nullptr);
    };
    controller.basla_Click();
    EXPECT_EQ(only("Inet1"), Log{"Inet1 http://updates.example/lirvane/lirvanesurumPlus2.txt"});
    EXPECT_EQ(only("box"), Log{kCheckMessage});
    EXPECT_NE(shell::systemShell()->lockFolder(folder()), nullptr);
}

TEST_F(UpdateControllerTest, AFolderThatCannotBeWrittenWhereNoOneIsAskedSaysJustThat)
{
    shell.writable = false;
    shell.elevates = false;
    controller.basla_Click();
    EXPECT_EQ(log, (Log{"box exclamation [Güncelleme Hatası] Programın kurulu olduğu klasöre yazma izniniz yok. "
                        "Güncelleme yapılmadı, programınız değiştirilmedi.",
                        "status Güncelleme başarısız oldu"}));
}

struct ProgressCase {
    std::int32_t size;
    std::int32_t bytes;
    std::string caption;  // empty: nothing shown
};

void PrintTo(const ProgressCase& c, std::ostream* out)
{
    *out << c.bytes << " of " << c.size;
}

class ProgressTest : public UpdateControllerTest, public testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressTest, ShowsThePercentage)
{
    control.fileSize = GetParam().size;
    raise(ev::DownloadProgress, GetParam().bytes);
    if (GetParam().caption.empty()) {
        EXPECT_TRUE(log.empty());
        return;
    }
    const Log expected = {"max " + std::to_string(GetParam().size), "value " + std::to_string(GetParam().bytes),
                          "status Dosya İndiriliyor Lütfen Bekleyiniz", "caption " + GetParam().caption};
    EXPECT_EQ(visible(), expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ProgressTest, testing::Values(
    ProgressCase{-1, 2048, ""},
    ProgressCase{0, 2048, ""},
    ProgressCase{2048, 1024, "%50"},
    ProgressCase{2048, 2047, "%99"},
    ProgressCase{2048, 2048, "%100"},
    ProgressCase{2048, 0, "%0"},
    ProgressCase{200'000'000, 100'000'000, "%50"},
    ProgressCase{2'147'483'647, 2'147'483'647, "%100"}));
// clang-format on

TEST_F(UpdateControllerTest, DownloadErrorShowsItsDescriptionAndChangesNothing)
{
    raise(ev::DownloadError, u"Could not find Url");
    EXPECT_EQ(log, Log{"box exclamation [] Dosya İndirme Hatası Oluştu:\r\nCould not find Url"});
}

TEST_F(UpdateControllerTest, CancelledEventEmptiesTheBar)
{
    raise(ev::DownloadCancelled, std::int32_t{4096});
    EXPECT_EQ(log, Log{"value 0"});
}

TEST_F(UpdateControllerTest, ErrorWithoutAnEventIsShownAndTheWindowIsIdleAgain)
{
    inet1.answers = {u"2.0", u"a.exe"};
    control.onStartDownload = [] { throw runtime::RuntimeError(runtime::error::kPathNotFound); };
    controller.basla_Click();
    const auto boxAt = position("box exclamation [] Dosya İndirme Hatası Oluştu:\r\nPath not found");
    ASSERT_LT(boxAt, log.size());
    const Log tail(log.begin() + static_cast<std::ptrdiff_t>(boxAt) + 1, log.end());
    EXPECT_EQ(tail, (Log{"delete VelkoraLirvane_down.exe", "status Güncelleme başarısız oldu", "caption ",
                         "disable btniptal", "enable basla", "enable cmdClose"}));
}

TEST_F(UpdateControllerTest, ACancelOrACloseGivesUpTheCheckWithoutAMessage)
{
    // Cancel is enabled while the file name is read; the close box at any time.
    inet1.answers = {u"2.0", std::nullopt};
    inet1.waits = true;
    inet1.onOpen = [this] {
        if (logged("enable btniptal"))
            controller.btniptal_Click();
    };
    controller.basla_Click();
    EXPECT_TRUE(logged("Inet1 gave up"));
    EXPECT_EQ(only("Inet1 http"), (Log{"Inet1 http://updates.example/lirvane/lirvanesurumPlus2.txt",
                                       "Inet1 http://updates.example/lirvane/lirvanedosyaPlus2.txt"}));
    EXPECT_EQ(only("box"), Log{"box exclamation [Velkora] Güncelleme iptal edildi"});
    EXPECT_TRUE(only("call").size() == 1);  // the cancel alone: neither size nor download asked

    log.clear();
    inet1.answers = {std::nullopt, std::nullopt};
    inet1.onOpen = [this] { controller.Form_QueryUnload(); };
    controller.basla_Click();
    EXPECT_EQ(only("Inet1 http").size(), 1u);
    EXPECT_TRUE(only("box").empty());
}

TEST_F(UpdateControllerTest, ACancelWhileTheSizeIsAskedStartsNoDownload)
{
    inet1.answers = {u"2.0", u"a.exe"};
    control.onRequestInformation = [this] { controller.btniptal_Click(); };
    controller.basla_Click();
    EXPECT_TRUE(logged("call RequestInformation"));
    EXPECT_FALSE(logged("call StartDownload"));
    EXPECT_EQ(log.back(), "enable cmdClose");
}

TEST_F(UpdateControllerTest, TheChunkReadBeforeTheCancelWasSeenPaintsNothing)
{
    control.fileSize = 20480;
    controller.btniptal_Click();
    log.clear();
    raise(ev::DownloadProgress, std::int32_t{2048});
    raise(ev::DownloadCancelled, std::int32_t{2048});
    EXPECT_EQ(log, Log{"value 0"});
}

TEST_F(UpdateControllerTest, ClosingDuringATransferCancelsItAndDropsThePart)
{
    inet1.answers = {u"2.0", u"a.exe"};
    control.onStartDownload = [&] {
        write("VelkoraLirvane_down.exe", "partial");
        controller.Form_QueryUnload();  // the close box, clicked inside the transfer
        raise(ev::DownloadCancelled, std::int32_t{7});
    };
    controller.basla_Click();
    EXPECT_LT(position("call CancelDownload"), position("value 0"));
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
    EXPECT_TRUE(only("box").empty());
}

class CompletionTest : public UpdateControllerTest {
protected:
    const std::string kNewProgram = test_programs::wholeProgram("new");
    const std::string kOldProgram = test_programs::wholeProgram("old");

    void SetUp() override
    {
        write("VelkoraLirvane.exe", kOldProgram);
        write("VelkoraLirvane_down.exe", kNewProgram);
        control.fileSize = static_cast<std::int32_t>(kNewProgram.size());
        boxes.onShow = [this] {
            // While the box is open nothing has been touched yet.
            if (log.back().find("Tamamlandı") != std::string::npos) {
                EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram);
            }
        };
    }
};

TEST_F(CompletionTest, SwapsBacksUpStartsAndEnds)
{
    raise(ev::DownloadComplete);
    const Log expected = {"stage VelkoraLirvane.exe",
                          "stage VelkoraLirvane_old.exe",
                          "disable btniptal",
                          "status Güncelleme başarıyla tamamlandı",
                          kRestartBox,
                          "commit VelkoraLirvane_old.exe",
                          "commit VelkoraLirvane.exe",
                          "delete VelkoraLirvane_down.exe",
                          "start VelkoraLirvane.exe",
                          "end"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(read("VelkoraLirvane_old.exe"), kOldProgram);
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
}

TEST_F(CompletionTest, TheWritingPartOfAnotherRunInstallsButStartsNothing)
{
    const UpdaterSetup elevated = setupWith(std::nullopt, true);
    UpdateController writingPart{elevated, program(folder(), true), view, releaseFiles, control};
    InternetFileSite(writingPart.downloadHandlers()).raiseEvent(ev::DownloadComplete, {});
    EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
    EXPECT_FALSE(logged("start VelkoraLirvane.exe"));
    EXPECT_EQ(log.back(), "end 0");
}

TEST_F(CompletionTest, AnUpdateInPlaceIsNeverReportedAsFailed)
{
    shell.failDelete = true;
    raise(ev::DownloadComplete);
    EXPECT_EQ(only("box"), Log{kRestartBox});
    EXPECT_EQ(read("VelkoraLirvane.exe"), kNewProgram);
    EXPECT_TRUE(logged("start VelkoraLirvane.exe"));
    EXPECT_EQ(log.back(), "end");
}

TEST_F(CompletionTest, AFailedSwapShowsUpdt01AndDropsTheDownload)
{
    shell.failCommitOf = "VelkoraLirvane.exe";
    raise(ev::DownloadComplete);
    EXPECT_EQ(only("box").back(), kUnexpectedBox);
    EXPECT_EQ(only("status").back(), "status Güncelleme başarısız oldu");
    EXPECT_EQ(only("caption"), Log{"caption "});
    EXPECT_EQ(only("enable"), Log{"enable btniptal"});  // the way out of the download's state
    EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram);
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
    EXPECT_FALSE(logged("start VelkoraLirvane.exe"));
    EXPECT_FALSE(logged("end"));
}

TEST_F(CompletionTest, ARunningProgramIsRefusedBeforeTheUpdateIsSaidToBeDone)
{
    fs::remove(m_folder / "VelkoraLirvane.exe");
    const test_programs::RunningProgram running(m_folder / "VelkoraLirvane.exe");
    const std::string installed = read("VelkoraLirvane.exe");
    raise(ev::DownloadComplete);
    EXPECT_EQ(only("box"), Log{kUnexpectedBox});
    EXPECT_EQ(read("VelkoraLirvane.exe"), installed);
    EXPECT_FALSE(exists("VelkoraLirvane_old.exe"));
}

TEST_F(CompletionTest, ADownloadThatIsNotAWholeProgramIsRefusedAndDropped)
{
    write("VelkoraLirvane_down.exe", "<html><body>404 File Not Found</body></html>");
    control.fileSize = -1;
    raise(ev::DownloadComplete);
    const Log expected = {
        "stage VelkoraLirvane.exe",
        "box critical [Güncelleme Hatası] İndirilen dosya geçerli bir program değil. Programınız değiştirilmedi.",
        "delete VelkoraLirvane_down.exe",
        "status Güncelleme başarısız oldu",
        "caption ",
        "disable btniptal",
        "enable basla",
        "enable cmdClose"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(read("VelkoraLirvane.exe"), kOldProgram);
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
}

// A release published in its smaller forms too: each arrangement of what the server holds or
// the folder changed ends in the new program installed, checked, from the one form the table
// names after the smallest that fits (one press, one box, the whole program at most once).
struct FormCase {
    std::string name;
    std::function<void(std::map<std::string, std::string>& server, std::string& installed)> arrange;
    std::vector<std::string> fetched;  // the forms downloaded: "patch", "compressed", "whole"
};

void PrintTo(const FormCase& c, std::ostream* out)
{
    *out << c.name;
}

class SmallerFormTest : public UpdateControllerTest, public testing::WithParamInterface<FormCase> {};

TEST_P(SmallerFormTest, EndsInTheNewProgramFromTheSmallestFormThatGivesIt)
{
    const std::string oldProgram = test_programs::wholeProgram("old", 50'000);
    const std::string newProgram = test_programs::wholeProgram("new", 50'000);
    write("old", oldProgram);
    write("new", newProgram);
    const auto path = [&](const char* name) { return "'" + test_programs::hostPath(m_folder / name) + "'"; };
    ASSERT_EQ(test_programs::runOnHost("zstd -q -19 -f --patch-from=" + path("old") + " " + path("new") + " -o "
                                       + path("patch") + " 2>/dev/null && zstd -q -19 -f " + path("new") + " -o "
                                       + path("whole")),
              0);
    const std::string base = "http://updates.example/lirvane/VelkoraLirvane_2.0.exe";
    std::string hash(64, '0');
    crypto_hash_sha256(reinterpret_cast<unsigned char*>(hash.data()),
                       reinterpret_cast<const unsigned char*>(oldProgram.data()), oldProgram.size());
    std::array<char, 65> hex{};
    sodium_bin2hex(hex.data(), hex.size(), reinterpret_cast<const unsigned char*>(hash.data()), 32);
    std::map<std::string, std::string> server = {{base, newProgram},
                                                 {base + ".zst", read("whole")},
                                                 {base + ".from-" + std::string(hex.data()) + ".zst", read("patch")},
                                                 {base + ".delta", "zst\npatch " + std::string(hex.data()) + "\n"}};
    std::string installed = oldProgram;
    GetParam().arrange(server, installed);
    releaseFiles.files = server;
    write("VelkoraLirvane.exe", installed);
    for (const char* name : {"old", "new", "patch", "whole"})
        fs::remove(m_folder / name);

    inet1.answers = {u"2.0", u"VelkoraLirvane_2.0.exe"};
    std::vector<std::string> fetched;
    control.onStartDownload = [&] {
        fetched.push_back(control.url == base                               ? "whole"
                          : control.url.find(".from-") != std::string::npos ? "patch"
                                                                            : "compressed");
        const auto served = server.find(control.url);
        if (served == server.end())
            return raise(ev::DownloadError, u"Could not find Url");
        write("VelkoraLirvane_down.exe", served->second);
        raise(ev::DownloadComplete);
    };
    controller.basla_Click();
    EXPECT_EQ(fetched, GetParam().fetched);
    EXPECT_EQ(only("box"), Log{kRestartBox});
    EXPECT_TRUE(read("VelkoraLirvane.exe") == newProgram);
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, SmallerFormTest, testing::Values(
    FormCase{"a patch of the installed program", [](auto&, auto&) {}, {"patch"}},
    FormCase{"an installed program changed here", [](auto&, std::string& installed) { installed += "#"; }, {"compressed"}},
    FormCase{"a damaged patch",
             [](std::map<std::string, std::string>& server, auto&) {
                 for (auto& [url, bytes] : server)
                     if (url.find(".from-") != std::string::npos)
                         bytes[bytes.size() / 2] ^= 0x55;
             },
             {"patch", "whole"}},
    FormCase{"a patch missing on the server",
             [](std::map<std::string, std::string>& server, auto&) {
                 std::erase_if(server, [](const auto& entry) { return entry.first.find(".from-") != std::string::npos; });
             },
             {"patch", "whole"}},
    FormCase{"no index on the server",
             [](std::map<std::string, std::string>& server, auto&) {
                 std::erase_if(server, [](const auto& entry) { return entry.first.ends_with(".delta"); });
             },
             {"whole"}}));
// clang-format on

// A cut download keeps its part with the validator of its bytes, and the next press continues
// it while the server's file is the same: the part is cut back to what its record knows, and a
// part that then fails its checks is followed by the program downloaded afresh, once.
TEST_F(CompletionTest, ACutDownloadContinuesInTheNextPressAndNeverSplicesAFailure)
{
    fs::remove(m_folder / "VelkoraLirvane_down.exe");
    const std::string program = test_programs::wholeProgram("new", 10'000);
    control.fileSize = static_cast<std::int32_t>(program.size());
    inet1.answers = {u"2.0", u"VelkoraLirvane_2.0.exe", u"2.0", u"VelkoraLirvane_2.0.exe",
                     u"2.0", u"VelkoraLirvane_2.0.exe"};
    control.validator = "\"etag\"";
    control.onStartDownload = [&] {
        write("VelkoraLirvane_down.exe", program.substr(0, 3000) + "unflushed");
        raise(ev::DownloadProgress, std::int32_t{3000});
        raise(ev::DownloadCancelled, std::int32_t{3000});
        controller.btniptal_Click();
    };
    controller.basla_Click();
    EXPECT_EQ(read("VelkoraLirvane_down.exe.resume"),
              "file:VelkoraLirvane_2.0.exe\nsize:" + std::to_string(program.size())
                  + "\nvalidator:\"etag\"\nlength:3000\n");

    // The part cut back continues; what it gives is spoilt: the program comes afresh.
    control.onResumeDownload = [&] {
        EXPECT_TRUE(read("VelkoraLirvane_down.exe") == program.substr(0, 3000));
        write("VelkoraLirvane_down.exe", program.substr(0, 3000) + "cut short by a server that lied");
        raise(ev::DownloadComplete);
    };
    control.onStartDownload = [&] {
        write("VelkoraLirvane_down.exe", program);
        raise(ev::DownloadComplete);
    };
    log.clear();
    controller.basla_Click();
    EXPECT_EQ(only("call"),
              (Log{"call RequestInformation", "call ResumeDownload", "call RequestInformation", "call StartDownload"}));
    EXPECT_TRUE(logged("put ResumeValidator \"etag\""));
    EXPECT_EQ(only("box"), Log{kRestartBox});
    EXPECT_TRUE(read("VelkoraLirvane.exe") == program);
    EXPECT_FALSE(exists("VelkoraLirvane_down.exe.resume"));
}

// The update server first, then its mirrors: the first that serves a whole update gives it,
// and only the last says what went wrong, once.
struct MirrorCase {
    std::string name;
    std::deque<std::optional<std::u16string>> texts;  // what each read gives, in order
    int downloadsFailing;                             // the first downloads that end in an error
    Log seen;                                         // the boxes and the servers downloaded from
};

void PrintTo(const MirrorCase& c, std::ostream* out)
{
    *out << c.name;
}

class MirrorTest : public UpdateControllerTest, public testing::WithParamInterface<MirrorCase> {};

TEST_P(MirrorTest, OneServerServesAWholeAttemptAndOneOutcomeShows)
{
    UpdaterSetup mirrored = setup;
    mirrored.mirrors = {u"mirror.example"};
    UpdateController updater{mirrored, program(folder()), view, releaseFiles, control};
    InternetFileSite events(updater.downloadHandlers());
    inet1.answers = GetParam().texts;
    int failing = GetParam().downloadsFailing;
    control.onStartDownload = [&] {
        std::array<Variant, 1> error{Variant(u"Could not find Url")};
        if (failing-- > 0)
            events.raiseEvent(ev::DownloadError, error);
    };
    updater.basla_Click();
    Log seen;
    std::copy_if(log.begin(), log.end(), std::back_inserter(seen),
                 [](const std::string& line) { return line.starts_with("box") || line.starts_with("put Url"); });
    EXPECT_EQ(seen, GetParam().seen);
}

constexpr char kDownloadErrorBox[] = "box exclamation [] Dosya İndirme Hatası Oluştu:\r\nCould not find Url";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, MirrorTest, testing::Values(
    MirrorCase{"the first server not reached, once", {std::nullopt, u"2.0", u"a.exe"}, 0,
               {"put Url http://mirror.example/lirvane/a.exe"}},
    MirrorCase{"the first server's download failing", {u"2.0", u"a.exe", u"2.0", u"b.exe"}, 1,
               {"put Url http://updates.example/lirvane/a.exe", "put Url http://mirror.example/lirvane/b.exe"}},
    MirrorCase{"the first server without its file-name text", {u"2.0", std::nullopt, u"2.0", u"b.exe"}, 0,
               {"put Url http://mirror.example/lirvane/b.exe"}},
    MirrorCase{"no server reached", {std::nullopt, std::nullopt, std::nullopt}, 0, {kCommunicationBox, kCheckMessage}},
    MirrorCase{"every download failing", {u"2.0", u"a.exe", u"2.0", u"b.exe"}, 2,
               {"put Url http://updates.example/lirvane/a.exe", "put Url http://mirror.example/lirvane/b.exe",
                kDownloadErrorBox}}));
// clang-format on

// The folder as users' machines have it. Whatever lies in it or holds its files never lets
// bytes reach the program unchecked nor an older release in, a short hold is waited out, and
// an obstacle that stays is named. The download is written as the control writes it: through
// a file created when missing and otherwise kept.
struct FolderScene {
    fs::path folder;
    std::vector<std::unique_ptr<test_programs::HeldFile>> holds;

    void hold(const std::string& name, std::optional<std::chrono::milliseconds> release = {})
    {
        holds.push_back(std::make_unique<test_programs::HeldFile>(folder / name, release));
    }
};

struct FolderCase {
    std::string name;
    std::function<void(FolderScene&)> arrange;  // once the folder holds the program
    std::string box;           // the one box that names the obstacle; empty: the update installs and starts
    std::string folderTail;    // appended to the test's folder
    bool withKey = false;      // signed updates, with a kept signature beside the program
    bool windowsOnly = false;  // a hold or a lock file, which only Windows has
};

void PrintTo(const FolderCase& c, std::ostream* out)
{
    *out << c.name;
}

constexpr char kVendorKey[] = "RWQKdfTs2leeq5cLm/TZ9wYkcJ/nVLE9I1VYeTGIP5v8U+nINAje/l/y";

std::string folderProblemBox(const std::string& name, const std::string& problem)
{
    return "box exclamation [Güncelleme Hatası] Güncelleme klasöründe bir sorun var:\r\n" + name + ": " + problem
           + "\r\nProgramınız değiştirilmedi.";
}

class FolderTest : public UpdateControllerTest, public testing::WithParamInterface<FolderCase> {};

TEST_P(FolderTest, NothingReachesTheProgramUncheckedAndEveryObstacleIsNamed)
{
    const FolderCase& c = GetParam();
    if (c.windowsOnly && !test_programs::onWindows())
        GTEST_SKIP() << "Windows only";
    FolderScene scene{c.folderTail.empty() ? m_folder : m_folder / c.folderTail, {}};
    const std::string oldProgram = test_programs::wholeProgram("old");
    const std::string newProgram = test_programs::startableProgram();
    fs::create_directories(scene.folder);
    std::ofstream(scene.folder / "VelkoraLirvane.exe", std::ios::binary) << oldProgram;
    if (test_programs::filesHavePermissions())
        fs::permissions(scene.folder / "VelkoraLirvane.exe", fs::perms::owner_all);
    if (c.withKey)
        std::ofstream(scene.folder / "VelkoraLirvane.exe.minisig") << "the kept signature";
    c.arrange(scene);

    const std::u16string app = runtime::fromUtf8(scene.folder.string());
    const UpdaterSetup keyed = setupWith(c.withKey ? signature::parsePublicKey(kVendorKey) : std::nullopt);
    UpdateController updater{keyed, program(app), view, releaseFiles, control};
    inet1.answers = {u"2.0", u"VelkoraLirvane_2.0.exe"};
    control.fileSize = static_cast<std::int32_t>(newProgram.size());
    shell.startForReal = true;
    const auto contents = [&](const std::string& name) {
        std::ifstream in(scene.folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    control.onStartDownload = [&] {
        runtime::BinaryFile download(runtime::inFolder(app, u"\\VelkoraLirvane_down.exe"));
        download.write(std::as_bytes(std::span(newProgram)));
        download.close();
        if (scene.holds.empty()) {  // a held program cannot be read here either
            EXPECT_EQ(contents("VelkoraLirvane.exe"), oldProgram) << "the download was written into the program";
        }
        InternetFileSite(updater.downloadHandlers()).raiseEvent(ev::DownloadComplete, {});
    };
    updater.basla_Click();

    if (c.box.empty()) {
        EXPECT_EQ(only("box"), Log{kRestartBox});
        EXPECT_EQ(contents("VelkoraLirvane.exe"), newProgram);
        EXPECT_EQ(contents("VelkoraLirvane_old.exe"), oldProgram);
        EXPECT_TRUE(logged("start VelkoraLirvane.exe"));
        EXPECT_FALSE(logged("start failed"));
        EXPECT_EQ(log.back(), "end");
        // The started program holds its file until it has ended, and it ends at once.
        const auto started = shell::systemShell();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (started->isProgramRunning(runtime::inFolder(app, u"\\VelkoraLirvane.exe"))
               && std::chrono::steady_clock::now() < deadline) {}
    } else {
        EXPECT_EQ(only("box"), Log{c.box});
        EXPECT_EQ(contents("VelkoraLirvane.exe"), oldProgram);
        EXPECT_FALSE(fs::exists(scene.folder / "VelkoraLirvane_old.exe"));
        // Idle again, if the buttons changed at all.
        const auto last = [&](const std::string& line) {
            return std::find(log.rbegin(), log.rend(), line) - log.rbegin();
        };
        EXPECT_GE(last("disable basla"), last("enable basla"));
    }
    EXPECT_FALSE(fs::exists(scene.folder / "VelkoraLirvane_down.exe"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, FolderTest, testing::Values(
    FolderCase{"a leftover download that links to the program",
               [](FolderScene& s) { test_programs::linkTo(s.folder / "VelkoraLirvane.exe", s.folder / "VelkoraLirvane_down.exe"); },
               "", ""},
    FolderCase{"a kept signature held by another program", [](FolderScene& s) { s.hold("VelkoraLirvane.exe.minisig"); },
               folderProblemBox("VelkoraLirvane.exe.minisig", "başka bir program tarafından kullanılıyor"), "", true, true},
    FolderCase{"the program held for a second",
               [](FolderScene& s) { s.hold("VelkoraLirvane.exe", std::chrono::seconds(1)); }, "", "", false, true},
    FolderCase{"a folder path beyond 260 characters", [](FolderScene&) {}, "",
               std::string(130, 'u') + "/" + std::string(130, 'v'), false},
    FolderCase{"a folder in the lock file's place",
               [](FolderScene& s) { fs::create_directories(s.folder / "updatelirvane.lock"); },
               folderProblemBox("updatelirvane.lock", "bu adda bir klasör var"), "", false, true}));
// clang-format on

// A folder this run cannot write: the writing part runs with an administrator's rights (the
// seam stands in for the system's prompt), and only the run that asked starts the program, as
// its user. A refusal, or rights that still cannot write, is one message and the idle window.
struct ElevationCase {
    std::string name;
    bool elevatedRun;           // this run is itself the writing part
    std::optional<int> answer;  // the writing part's exit status; nullopt: declined
    Log seen;                   // the prompts, boxes, starts and ends, in order
};

void PrintTo(const ElevationCase& c, std::ostream* out)
{
    *out << c.name;
}

constexpr char kNoWriteAccessBox[] =
    "box exclamation [Güncelleme Hatası] Programın kurulu olduğu klasöre yazma izniniz yok ve yönetici izni "
    "alınamadı. Güncelleme yapılmadı, programınız değiştirilmedi.";

class ElevationTest : public UpdateControllerTest, public testing::WithParamInterface<ElevationCase> {};

TEST_P(ElevationTest, OnlyTheWritingPartIsElevatedAndOnlyTheRunThatAskedStartsTheProgram)
{
    const ElevationCase& c = GetParam();
    shell.writable = false;
    shell.elevatedStatus = c.answer;
    const UpdaterSetup run = setupWith(std::nullopt, c.elevatedRun);
    UpdateController updater{run, program(folder(), true), view, releaseFiles, control};
    write("VelkoraLirvane_down.exe", "nothing of this run's");
    updater.basla_Click();

    Log seen;
    std::copy_if(log.begin(), log.end(), std::back_inserter(seen), [](const std::string& line) {
        return line.starts_with("box") || line.starts_with("elevate") || line.starts_with("start")
               || line.starts_with("end") || line.starts_with("Inet1");
    });
    EXPECT_EQ(seen, c.seen);
    EXPECT_EQ(read("VelkoraLirvane_down.exe"), "nothing of this run's");
    if (!c.seen.back().starts_with("end")) {
        EXPECT_EQ(log.back(), "enable cmdClose");  // idle again
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ElevationTest, testing::Values(
    ElevationCase{"declined at the prompt", false, std::nullopt, {"elevate --elevated-update", kNoWriteAccessBox}},
    ElevationCase{"installed by the writing part", false, 0,
                  {"elevate --elevated-update", "start VelkoraLirvane.exe", "end 0"}},
    ElevationCase{"not installed by the writing part, which said why", false, 1, {"elevate --elevated-update"}},
    ElevationCase{"still not writable with the rights", false, 3, {"elevate --elevated-update", kNoWriteAccessBox}},
    ElevationCase{"the writing part itself cannot write", true, std::nullopt, {"end 3"}}));
// clang-format on

TEST_F(UpdateControllerTest, AWindowClosedWhileTheWritingPartRunsStartsNothing)
{
    shell.writable = false;
    shell.elevatedStatus = updater_exit::kInstalled;
    shell.onElevate = [this] { controller.Form_QueryUnload(); };
    controller.basla_Click();
    EXPECT_FALSE(logged("start VelkoraLirvane.exe"));
    EXPECT_TRUE(only("box").empty());
}

TEST_F(UpdateControllerTest, TheNextPressSweepsTheStagesOfAnUpdaterThatDied)
{
    for (const std::string name :
         {"VelkoraLirvane.exe.new-99999", "VelkoraLirvane_old.exe.new-1", "VelkoraLirvane.exe.minisig.new-42"})
        write(name, "half a copy");
    write("VelkoraLirvane.exe.new-other", "not a stage");
    inet1.answers = {u""};
    controller.basla_Click();
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
    EXPECT_TRUE(exists("VelkoraLirvane.exe.new-other"));
}

TEST_F(UpdateControllerTest, ASecondUpdaterInTheFolderWaitsTouchingNothing)
{
    write("VelkoraLirvane_down.exe", "the first updater's download");
    const auto first = shell::systemShell()->lockFolder(folder());
    ASSERT_TRUE(first);
    controller.basla_Click();
    EXPECT_EQ(log, Log{"box exclamation [Güncelleme Hatası] Bu klasörde başka bir güncelleme sürüyor. Lütfen "
                       "bekleyiniz."});
    EXPECT_EQ(read("VelkoraLirvane_down.exe"), "the first updater's download");
}

}  // namespace
