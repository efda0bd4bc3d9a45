#include "platform/inet/internet_posix.h"
#include "tests/support/loopback_process.h"
#include "tests/support/minisign.h"
#include "tests/support/named_widget.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_http_server.h"
#include "tests/support/updater_fakes.h"
#include "updater/frmGuncel_qt.h"

#include <QTest>
#include <gtest/gtest.h>
#include <sodium.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr char kOldProgram[] = "#!/bin/sh\necho old\n";
// The new version tells the test that it was started by writing into a FIFO beside itself.
constexpr char kNewProgram[] = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.fifo\"\n";

void write(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The real services of an updater window: curl's internet trusting `trust`, the system's shell
// or the test's own, the two readers, boxes recorded into `log` and answered at once, and
// whether the window ended its program.
struct RealServices {
    explicit RealServices(Log& log, const inet::TlsTrust& trust = {}, shell::Shell* own = nullptr)
        : internet(inet::kDefaultTimeouts, trust)
        , boxes(log)
        , systemShell(own ? nullptr : shell::systemShell())
        , shell(own ? *own : *systemShell)
    {
    }
    // The setup of a run that updates from `host`.
    UpdaterSetup setup(const std::string& host, std::u16string vendorHost = u"www.example")
    {
        return {internet, shell, inet1, browser, runtime::fromUtf8(host), std::move(vendorHost)};
    }
    UpdaterProgram program(const fs::path& app)
    {
        return {boxes, [this](int) { ended = true; }, runtime::fromUtf8(app.string())};
    }

    inet::CurlInternet internet;
    RecordingBoxes boxes;
    std::unique_ptr<shell::Shell> systemShell;  // unless the test gave its own
    shell::Shell& shell;
    InternetInet1 inet1{internet};
    HtmlBrowser browser{internet};
    bool ended = false;
};

// Waits (on the FIFO, not on a clock) for the started program's line.
std::string waitForLine(const fs::path& fifo)
{
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    pollfd wait{fd, POLLIN, 0};
    std::string line;
    if (fd >= 0 && ::poll(&wait, 1, 30'000) == 1) {
        char buffer[64];
        const auto got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            line.assign(buffer, static_cast<std::size_t>(got));
    }
    if (fd >= 0)
        ::close(fd);
    return line;
}

TEST(UpdateEndToEnd, OneClickReplacesAndRestartsTheApplication)
{
    const fs::path base = fs::temp_directory_path() / ("e2e " + std::to_string(::getpid()));
    const fs::path app = base / "Uygulama\\Klasörü Şimdi";  // a backslash is a letter here
    const fs::path server = base / "sunucu";
    write(app / "VelkoraLirvane.exe", kOldProgram);
    fs::permissions(app / "VelkoraLirvane.exe", fs::perms::owner_all);
    ASSERT_EQ(::mkfifo((app / "started.fifo").c_str(), 0600), 0);
    write(server / "lirvane" / "lirvanesurumPlus2.txt", "2.0\n");
    write(server / "lirvane" / "lirvanedosyaPlus2.txt", "VelkoraLirvane_new.exe\n");
    write(server / "lirvane" / "VelkoraLirvane_new.exe", kNewProgram);
    NginxServer nginx(server);

    Log log;
    RealServices real(log);
    frmGuncel window(real.setup(nginx.host()), real.program(app));
    window.show();

    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);

    EXPECT_TRUE(real.ended);
    EXPECT_EQ(log, Log{"box information [Velkora] Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden "
                       "Başlatılacak."});
    EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(read(app / "VelkoraLirvane_old.exe"), kOldProgram);
    EXPECT_FALSE(fs::exists(app / "VelkoraLirvane_down.exe"));
    EXPECT_EQ(named<StatusBar>(window, "bar1")->panelText(1), QStringLiteral("Güncelleme başarıyla tamamlandı"));
    EXPECT_EQ(named<ProgressBar>(window, "pbar")->caption(), QStringLiteral("%100"));
    EXPECT_EQ(waitForLine(app / "started.fifo"), "started\n");

    fs::remove_all(base);
}

std::string pemOf(const std::string& name)
{
    return read(testCertificates() / name);
}

// An update server on HTTPS whose authority is pinned in the updater; one with a certificate
// of another authority is no server at all to it.
TEST(UpdateOverHttps, ComesOnlyFromAServerOfThePinnedAuthority)
{
    for (const std::string certificate : {"server", "other-server"}) {
        const fs::path base = fs::temp_directory_path() / ("e2e https " + std::to_string(::getpid()));
        const fs::path app = base / "app";
        const fs::path server = base / "server";
        write(app / "VelkoraLirvane.exe", kOldProgram);
        write(server / "lirvane" / "lirvanesurumPlus2.txt", "2.0\n");
        write(server / "lirvane" / "lirvanedosyaPlus2.txt", "VelkoraLirvane_new.exe");
        write(server / "lirvane" / "VelkoraLirvane_new.exe", kNewProgram);
        NginxServer nginx(server, testCertificates() / (certificate + ".pem"),
                          testCertificates() / (certificate + ".key"));

        Log log;
        RealServices real(log, inet::TlsTrust{pemOf("authority.pem")});
        frmGuncel window(real.setup(nginx.origin(), u"https://www.example"), real.program(app));
        window.show();
        QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);

        if (certificate == "server") {
            EXPECT_TRUE(real.ended);
            EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
        } else {
            EXPECT_FALSE(real.ended);
            EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kOldProgram);
            EXPECT_EQ(named<StatusBar>(window, "bar1")->panelText(1),
                      QStringLiteral("İnternet bağlantısı sağlanamadı"));
            EXPECT_EQ(log.size(), 2u);  // the reader's message, then the check's
        }
        fs::remove_all(base);
    }
}

// Signed updates, attacked: the server laid out by the vendor's publishing command with a key
// made by minisign, then spoiled the way each case says (and the updater's folder or build
// with it); the updater built with the vendor's key. Each attack either installs the vendor's
// program, whole, keeping the one before as the backup, or changes nothing and says why.
constexpr char kPublished[] = "VelkoraLirvane_2.0.exe";
constexpr char kUnsignedBox[] =
    "box critical [Güncelleme Hatası] İndirilen dosyanın imzası doğrulanamadı. Programınız değiştirilmedi.";
constexpr char kUnexpectedBox[] =
    "box critical [Güncelleme Hatası] Beklenmedik Hata. Lirvane programınız çalışıyor olabilir. Hata Kodu:UPDT01";
constexpr char kAnotherUpdaterBox[] =
    "box exclamation [Güncelleme Hatası] Bu klasörde başka bir güncelleme sürüyor. Lütfen bekleyiniz.";

struct Scene {
    fs::path app;
    fs::path published;  // the server's "lirvane" folder
    const MinisignKey& vendor;
    const MinisignKey& other;
    bool withKey = true;
    std::uint64_t minimumTimestamp = 0;
    RecordingShell& shell;
    std::function<void()> duringDownload;  // runs at the download's first progress

    fs::path program() const { return published / kPublished; }
    fs::path minisig() const { return published / (std::string(kPublished) + ".minisig"); }
    // Signs the published program anew with `comment` (minisign's own when empty).
    void resign(const std::string& comment, const MinisignKey* key = nullptr) const
    {
        (key ? *key : vendor).sign(program(), minisig(), false, comment);
    }
};

std::string boundComment(const std::string& timestamp)
{
    return "timestamp:" + timestamp + "\\tfile:" + kPublished + "\\tinstall:VelkoraLirvane.exe";
}

void append(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

// A script whose BLAKE2b-512 hash begins with "#!", so that the hash itself passes for a whole
// program: what a signature with its algorithm byte flipped would claim to sign.
std::string scriptWhoseHashIsAScript()
{
    for (unsigned n = 0;; ++n) {
        const std::string script = std::string(kNewProgram) + "# " + std::to_string(n) + "\n";
        unsigned char hash[crypto_generichash_BYTES_MAX];
        crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(script.data()), script.size(),
                           nullptr, 0);
        if (hash[0] == '#' && hash[1] == '!')
            return script;
    }
}

std::string hashOf(const std::string& bytes)
{
    unsigned char hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), nullptr,
                       0);
    return std::string(reinterpret_cast<const char*>(hash), sizeof hash);
}

struct Attack {
    std::string name;
    std::function<void(Scene&)> arrange;
    std::string box;  // the box that says why nothing changed; empty: the update installs
};

void PrintTo(const Attack& c, std::ostream* out)
{
    *out << c.name;
}

// The vendor's key and another, made by minisign once per suite.
class VendorKeys : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_GE(sodium_init(), 0);
        s_keys = fs::temp_directory_path() / ("e2e keys " + std::to_string(::getpid()));
        s_vendor = MinisignKey::make(s_keys, "vendor");
        s_other = MinisignKey::make(s_keys, "other");
    }
    static void TearDownTestSuite() { fs::remove_all(s_keys); }

    inline static fs::path s_keys;
    inline static MinisignKey s_vendor;
    inline static MinisignKey s_other;
};

class SignedUpdate : public VendorKeys, public testing::WithParamInterface<Attack> {};

TEST_P(SignedUpdate, InstallsOnlyWhatTheVendorSignedAsTheProgram)
{
    const fs::path base = fs::temp_directory_path() / ("e2e signed " + std::to_string(::getpid()));
    const fs::path server = base / "server";
    Log log;
    RecordingShell shell(log);
    Scene scene{base / "app", server / "lirvane", s_vendor, s_other, true, 0, shell, {}};
    write(scene.app / "VelkoraLirvane.exe", kOldProgram);
    write(base / kPublished, kNewProgram);
    const std::string publish = std::string(PROJECT_SOURCE_DIR) + "/scripts/publish-update --secret-key '"
                                + s_vendor.secretFile.string() + "' --version 2.0 '" + (base / kPublished).string()
                                + "' '" + server.string() + "' >/dev/null";
    ASSERT_EQ(std::system(publish.c_str()), 0);
    // The program itself is what these attacks spoil: no smaller form of it is offered.
    fs::remove(scene.published / (std::string(kPublished) + ".delta"));
    if (GetParam().arrange)
        GetParam().arrange(scene);
    const std::string served = read(scene.program());
    NginxServer nginx(server);

    RealServices real(log, {}, &shell);
    UpdaterSetup setup = real.setup(nginx.host());
    setup.updateKey = scene.withKey ? signature::parsePublicKey(s_vendor.publicLine()) : std::nullopt;
    setup.minimumTimestamp = scene.minimumTimestamp;
    frmGuncel window(setup, real.program(scene.app));
    window.show();
    shell.onSleep = [&] {
        if (auto during = std::exchange(scene.duringDownload, nullptr))
            during();
    };
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);

    std::vector<std::string> shown;
    std::copy_if(log.begin(), log.end(), std::back_inserter(shown),
                 [](const std::string& line) { return line.starts_with("box "); });
    if (GetParam().box.empty()) {
        EXPECT_TRUE(real.ended);
        EXPECT_EQ(read(scene.app / "VelkoraLirvane.exe"), served);
        EXPECT_EQ(read(scene.app / "VelkoraLirvane_old.exe"), kOldProgram);
        if (scene.withKey) {
            EXPECT_EQ(read(scene.app / "VelkoraLirvane.exe.minisig"), read(scene.minisig()));
        }
    } else {
        EXPECT_FALSE(real.ended);
        EXPECT_EQ(shown.back(), GetParam().box);
        EXPECT_EQ(read(scene.app / "VelkoraLirvane.exe"), kOldProgram);
        EXPECT_FALSE(fs::exists(scene.app / "VelkoraLirvane_old.exe"));
        EXPECT_TRUE(named<PictureButton>(window, "basla")->isEnabled() || GetParam().box == kUnexpectedBox);
    }
    EXPECT_FALSE(fs::exists(scene.app / "VelkoraLirvane_down.exe"));
    fs::remove_all(base);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, SignedUpdate, testing::Values(
    Attack{"a good signed update", {}, ""},
    Attack{"an unsigned update to a build without a key", [](Scene& s) { s.withKey = false; fs::remove(s.minisig()); }, ""},
    Attack{"a program changed by one byte", [](Scene& s) { append(s.program(), "#"); }, kUnsignedBox},
    Attack{"a signature by another key", [](Scene& s) { s.resign(boundComment("2000"), &s.other); }, kUnsignedBox},
    Attack{"a missing signature", [](Scene& s) { fs::remove(s.minisig()); }, kUnsignedBox},
    Attack{"an oversized signature", [](Scene& s) { append(s.minisig(), std::string(4096, '\n')); }, kUnsignedBox},
    Attack{"a garbled signature",
           [](Scene& s) {
               std::string text = read(s.minisig());
               text[text.find('\n') + 5] ^= 1;
               std::ofstream(s.minisig(), std::ios::binary) << text;
           },
           kUnsignedBox},
    Attack{"the algorithm byte flipped to sign the hash as a file",
           [](Scene& s) {
               const std::string script = scriptWhoseHashIsAScript();
               std::ofstream(s.program(), std::ios::binary) << script;
               s.resign(boundComment("2000"));
               std::ofstream(s.program(), std::ios::binary) << hashOf(script);
               std::string text = read(s.minisig());
               text.replace(text.find('\n') + 1, 2, "RW");  // "ED" to "Ed"
               std::ofstream(s.minisig(), std::ios::binary) << text;
           },
           kUnsignedBox},
    Attack{"another of the vendor's files named for download",
           [](Scene& s) {
               fs::copy_file(s.program(), s.published / "OtherTool");
               s.vendor.sign(s.published / "OtherTool", s.published / "OtherTool.minisig");
               std::ofstream(s.published / "lirvanedosyaPlus2.txt") << "OtherTool";
           },
           kUnsignedBox},
    Attack{"a signature that names no program to install", [](Scene& s) { s.resign("timestamp:2000\\tfile:" + std::string(kPublished)); },
           kUnsignedBox},
    Attack{"a release older than the built-in floor", [](Scene& s) { s.minimumTimestamp = 4'000'000'000; }, kUnsignedBox},
    Attack{"a release older than the installed program's",
           [](Scene& s) {
               s.resign(boundComment("1000"));
               s.vendor.sign(s.app / "VelkoraLirvane.exe", s.app / "VelkoraLirvane.exe.minisig", false,
                             "timestamp:2000\\tfile:VelkoraLirvane_1.0.exe\\tinstall:VelkoraLirvane.exe");
           },
           kUnsignedBox},
    Attack{"a folder in the kept signature's place",
           [](Scene& s) { fs::create_directories(s.app / "VelkoraLirvane.exe.minisig" / "x"); },
           "box exclamation [Güncelleme Hatası] Güncelleme klasöründe bir sorun var:\r\nVelkoraLirvane.exe.minisig: bu "
           "adda bir klasör var\r\nProgramınız değiştirilmedi."},
    Attack{"an installed program that cannot be looked at", [](Scene& s) { s.shell.failOpenOf = "VelkoraLirvane.exe"; },
           kUnexpectedBox},
    Attack{"a leftover download that links to the program",
           [](Scene& s) { fs::create_symlink(s.app / "VelkoraLirvane.exe", s.app / "VelkoraLirvane_down.exe"); }, ""},
    Attack{"a second updater started in the folder during the download",
           [](Scene& s) {
               s.duringDownload = [&s] {
                   Log secondLog;
                   RecordingBoxes secondBoxes(secondLog);
                   FakeInet1 nobody(secondLog);
                   FakeBrowser nothing(secondLog);
                   inet::CurlInternet unused;
                   frmGuncel second(UpdaterSetup{unused, s.shell, nobody, nothing, u"127.0.0.1:1", u"www.example"},
                                    UpdaterProgram{secondBoxes, [](int) {}, runtime::fromUtf8(s.app.string())});
                   QTest::mouseClick(named<PictureButton>(second, "basla"), Qt::LeftButton);
                   EXPECT_EQ(secondLog, Log{kAnotherUpdaterBox});
               };
           },
           ""}));
// clang-format on

// A patch release, published by publish-update after the installed program's own release, as
// the folder and the server are found: the new program installs from the smallest form that
// gives it, through the real window, and the whole program comes at most once.
struct FormScene {
    std::string name;
    std::function<void(const fs::path& app, const fs::path& published)> arrange;
    std::vector<std::string> fetched;  // the forms asked for: "patch", "compressed", "whole"
};

void PrintTo(const FormScene& c, std::ostream* out)
{
    *out << c.name;
}

class PatchRelease : public VendorKeys, public testing::WithParamInterface<FormScene> {};

TEST_P(PatchRelease, InstallsFromTheSmallestFormThatGivesTheProgram)
{
    const fs::path base = fs::temp_directory_path() / ("e2e patch " + std::to_string(::getpid()));
    const fs::path app = base / "app";
    const fs::path published = base / "server" / "lirvane";
    write(app / "VelkoraLirvane.exe", kOldProgram);
    write(base / "VelkoraLirvane_1.0.exe", kOldProgram);
    write(base / kPublished, kNewProgram);
    for (const char* release : {"1.0", "2.0"}) {
        const std::string publish = std::string(PROJECT_SOURCE_DIR) + "/scripts/publish-update --secret-key '"
                                    + s_vendor.secretFile.string() + "' --version " + release + " '"
                                    + (base / ("VelkoraLirvane_" + std::string(release) + ".exe")).string() + "' '"
                                    + (base / "server").string() + "' >/dev/null";
        ASSERT_EQ(std::system(publish.c_str()), 0);
    }
    GetParam().arrange(app, published);
    NginxServer nginx(base / "server", {}, {}, "access_log \"" + (base / "access.log").string() + "\";");

    Log log;
    RealServices real(log);
    UpdaterSetup setup = real.setup(nginx.host());
    setup.updateKey = signature::parsePublicKey(s_vendor.publicLine());
    frmGuncel window(setup, real.program(app));
    window.show();
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);

    EXPECT_TRUE(real.ended);
    EXPECT_EQ(log, Log{"box information [Velkora] Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden "
                       "Başlatılacak."});
    EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
    std::vector<std::string> fetched;
    std::istringstream requests(read(base / "access.log"));
    for (std::string line; std::getline(requests, line);) {
        const auto get = line.find("\"GET /lirvane/VelkoraLirvane_2.0.exe");
        if (get == std::string::npos)
            continue;
        const std::string path = line.substr(get + 5, line.find(' ', get + 5) - get - 5);
        if (path.ends_with(".exe"))
            fetched.push_back("whole");
        else if (path.find(".from-") != std::string::npos)
            fetched.push_back("patch");
        else if (path.ends_with(".exe.zst"))
            fetched.push_back("compressed");
    }
    EXPECT_EQ(fetched, GetParam().fetched);
    fs::remove_all(base);
}

void changePatches(const fs::path& published, const std::function<void(const fs::path&)>& change)
{
    for (const auto& entry : fs::directory_iterator(published))
        if (entry.path().filename().string().find(".from-") != std::string::npos)
            change(entry.path());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, PatchRelease, testing::Values(
    FormScene{"a patch of the installed program", [](const fs::path&, const fs::path&) {}, {"patch"}},
    FormScene{"an installed program changed here",
              [](const fs::path& app, const fs::path&) { append(app / "VelkoraLirvane.exe", "#"); }, {"compressed"}},
    FormScene{"a damaged patch",
              [](const fs::path&, const fs::path& published) {
                  changePatches(published, [](const fs::path& patch) {
                      std::string bytes = read(patch);
                      bytes[bytes.size() / 2] ^= 0x55;
                      std::ofstream(patch, std::ios::binary) << bytes;
                  });
              },
              {"patch", "whole"}},
    FormScene{"a patch missing on the server",
              [](const fs::path&, const fs::path& published) {
                  changePatches(published, [](const fs::path& patch) { fs::remove(patch); });
              },
              {"patch", "whole"}}));
// clang-format on

// The real window on the real network layer against a scripted server; boxes are answered at
// once and recorded.
class UpdateAgainstAScriptedServer : public testing::Test {
protected:
    explicit UpdateAgainstAScriptedServer()
    {
        fs::create_directories(m_app);
        write(m_app / "VelkoraLirvane.exe", kOldProgram);
        window.show();
    }
    ~UpdateAgainstAScriptedServer() override { fs::remove_all(m_app); }

    // Runs `action` on the window's thread as soon as the window processes events: from the
    // server's thread, when a request arrives.
    void onWindowThread(std::function<void()> action)
    {
        QMetaObject::invokeMethod(&window, std::move(action), Qt::QueuedConnection);
    }
    std::vector<std::string> boxes() const
    {
        std::vector<std::string> shown;
        for (const auto& line : log)
            if (line.rfind("box ", 0) == 0)
                shown.push_back(line);
        return shown;
    }

    fs::path m_app = fs::temp_directory_path() / ("e2e scripted " + std::to_string(::getpid()));
    std::function<HttpReply(const HttpRequest&)> handler;
    TestHttpServer server{[this](const HttpRequest& request) { return handler(request); }};
    Log log;
    RealServices real{log};
    frmGuncel window{real.setup("127.0.0.1:" + std::to_string(server.port())), real.program(m_app)};
};

HttpReply serve(const HttpRequest& request, const std::string& program)
{
    if (request.target == "/lirvane/lirvanesurumPlus2.txt")
        return HttpReply::file(request, "2.0");
    if (request.target == "/lirvane/lirvanedosyaPlus2.txt")
        return HttpReply::file(request, "VelkoraLirvane_new.exe");
    return HttpReply::file(request, program);
}

TEST_F(UpdateAgainstAScriptedServer, AProgramCutShortWithoutALengthIsNeverInstalled)
{
    std::ifstream in("/usr/bin/true", std::ios::binary);
    const std::string program(std::istreambuf_iterator<char>(in), {});
    handler = [&](const HttpRequest& request) {
        HttpReply reply = serve(request, program);
        if (request.target == "/lirvane/VelkoraLirvane_new.exe") {
            reply.sendContentLength = false;
            reply.dropAfter = program.size() / 100;
        }
        return reply;
    };
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);
    EXPECT_FALSE(real.ended);
    EXPECT_EQ(boxes(), (std::vector<std::string>{"box critical [Güncelleme Hatası] İndirilen dosya geçerli bir "
                                                 "program değil. Programınız değiştirilmedi."}));
    EXPECT_EQ(read(m_app / "VelkoraLirvane.exe"), kOldProgram);
    EXPECT_FALSE(fs::exists(m_app / "VelkoraLirvane_down.exe"));
    EXPECT_EQ(named<StatusBar>(window, "bar1")->panelText(1), QStringLiteral("Güncelleme başarısız oldu"));
    EXPECT_TRUE(named<ProgressBar>(window, "pbar")->caption().isEmpty());
    EXPECT_TRUE(named<PictureButton>(window, "basla")->isEnabled());
}

TEST_F(UpdateAgainstAScriptedServer, CancelTakesEffectWhileTheServerSendsNothing)
{
    handler = [&](const HttpRequest& request) {
        HttpReply reply = serve(request, std::string(5000, 'x'));
        if (request.method == "GET" && request.target == "/lirvane/VelkoraLirvane_new.exe") {
            reply.stallAfter = 0;
            onWindowThread([this] { QTest::mouseClick(named<PictureButton>(window, "btniptal"), Qt::LeftButton); });
        }
        return reply;
    };
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);
    // Without the cancel the transfer would end after a minute as "Could not read Url".
    EXPECT_EQ(boxes(), (std::vector<std::string>{"box exclamation [Velkora] Güncelleme iptal edildi"}));
    EXPECT_EQ(named<StatusBar>(window, "bar1")->panelText(1), QStringLiteral("Güncelleme iptal edildi"));
    EXPECT_TRUE(named<ProgressBar>(window, "pbar")->caption().isEmpty());
    EXPECT_EQ(named<ProgressBar>(window, "pbar")->value(), 0);
    EXPECT_TRUE(named<PictureButton>(window, "basla")->isEnabled());
}

TEST_F(UpdateAgainstAScriptedServer, ClosingTheWindowGivesUpAStalledVersionText)
{
    handler = [&](const HttpRequest& request) {
        HttpReply reply = serve(request, kNewProgram);
        reply.stallAfter = 0;
        onWindowThread([this] { window.close(); });
        return reply;
    };
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);
    // Without the close the check would wait twice thirty seconds, then show its message.
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(UpdateAgainstAScriptedServer, ASecondPressAsksTheSizeAgain)
{
    std::string fileName = "missing.exe";
    handler = [&](const HttpRequest& request) {
        if (request.target == "/lirvane/lirvanedosyaPlus2.txt")
            return HttpReply::file(request, fileName);
        if (request.target == "/lirvane/missing.exe") {
            HttpReply reply;
            reply.status = 404;
            reply.reason = "Not Found";
            reply.body = "<html><body>404 Not Found</body></html>" + std::string(163000, ' ');
            return reply;
        }
        return serve(request, kNewProgram);
    };
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);
    EXPECT_FALSE(real.ended);
    // The server's error page is no download: nothing was written, and " İptal" leads back.
    EXPECT_EQ(boxes(),
              std::vector<std::string>{"box exclamation [] Dosya İndirme Hatası Oluştu:\r\nCould not find Url"});
    EXPECT_EQ(read(m_app / "VelkoraLirvane_down.exe"), "");
    QTest::mouseClick(named<PictureButton>(window, "btniptal"), Qt::LeftButton);
    fileName = "VelkoraLirvane_new.exe";
    QTest::mouseClick(named<PictureButton>(window, "basla"), Qt::LeftButton);
    EXPECT_TRUE(real.ended);
    EXPECT_EQ(read(m_app / "VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(named<ProgressBar>(window, "pbar")->caption(), QStringLiteral("%100"));
}

// A download cut by the network continues where it stopped, in the same window after " İptal"
// and in a new run after "Kapat", from nginx (its ETag) through a relay that cuts the first
// long answer at 90%; and a first server whose port is closed gives way to a mirror at once.
class ResumeAndMirrors : public testing::Test {
protected:
    ResumeAndMirrors()
    {
        write(m_app / "VelkoraLirvane.exe", kOldProgram);
        write(m_server / "lirvane" / "lirvanesurumPlus2.txt", "2.0\n");
        write(m_server / "lirvane" / "lirvanedosyaPlus2.txt", "VelkoraLirvane_2.0.exe");
        write(m_server / "lirvane" / "VelkoraLirvane_2.0.exe", program);
    }
    ~ResumeAndMirrors() override { fs::remove_all(m_base); }

    // A window of a new run of the updater in the folder; `real.ended` tells when it real.ended.
    std::unique_ptr<frmGuncel> window(const std::string& host, std::vector<std::u16string> mirrors = {})
    {
        UpdaterSetup setup = real.setup(host);
        setup.mirrors = std::move(mirrors);
        auto shown = std::make_unique<frmGuncel>(setup, real.program(m_app));
        shown->show();
        return shown;
    }
    static void press(frmGuncel& window, const char* button)
    {
        QTest::mouseClick(named<PictureButton>(window, button), Qt::LeftButton);
    }
    // The bytes nginx sent for each GET of the program, in order.
    std::vector<long> programBytes() const
    {
        std::vector<long> sent;
        std::istringstream lines(read(m_base / "access.log"));
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"GET /lirvane/VelkoraLirvane_2.0.exe ") == std::string::npos)
                continue;
            std::istringstream fields(line.substr(line.find("\" ", line.find("\"GET")) + 2));
            long status = 0;
            long bytes = 0;
            fields >> status >> bytes;
            sent.push_back(bytes);
        }
        return sent;
    }

    fs::path m_base = fs::temp_directory_path() / ("e2e resume " + std::to_string(::getpid()));
    fs::path m_app = m_base / "app";
    fs::path m_server = m_base / "server";
    const std::string program = std::string(kNewProgram) + std::string(200'000, '#');
    Log log;
    RealServices real{log};
};

TEST_F(ResumeAndMirrors, ACutDownloadContinuesInTheSameWindowAndInANewRun)
{
    NginxServer nginx(m_server, {}, {}, "access_log \"" + (m_base / "access.log").string() + "\" combined;");
    for (const bool newRun : {false, true}) {
        std::ofstream(m_base / "access.log", std::ios::trunc);  // nginx keeps writing to it
        write(m_app / "VelkoraLirvane.exe", kOldProgram);
        LoopbackProcess relay(
            "relay",
            [&](const std::string& folder) {
                return std::string(PROJECT_SOURCE_DIR) + "/tests/support/cutting-relay " + std::to_string(nginx.port())
                       + " '" + folder + "' " + std::to_string(program.size() * 9 / 10);
            },
            "pid", SIGTERM);
        const std::string host = "127.0.0.1:" + std::to_string(relay.port());
        auto first = window(host);
        press(*first, "basla");
        EXPECT_EQ(log.back(), "box exclamation [] Dosya İndirme Hatası Oluştu:\r\nCould not read Url");
        EXPECT_TRUE(fs::exists(m_app / "VelkoraLirvane_down.exe.resume"));
        auto second = newRun ? window(host) : nullptr;
        if (newRun)
            press(*first, "btniptal"), press(*first, "cmdClose");
        else
            press(*first, "btniptal");
        press(second ? *second : *first, "basla");
        EXPECT_TRUE(real.ended) << newRun;
        real.ended = false;
        EXPECT_TRUE(read(m_app / "VelkoraLirvane.exe") == program) << newRun;
        const auto sent = programBytes();
        ASSERT_EQ(sent.size(), 2u) << newRun;
        EXPECT_LE(sent[1], static_cast<long>(program.size() * 15 / 100)) << newRun;  // the rest alone
    }
}

TEST_F(ResumeAndMirrors, AClosedFirstServerGivesWayToTheMirrorAtOnce)
{
    NginxServer mirror(m_server);
    std::uint16_t closed = 0;
    {
        TestHttpServer gone([](const HttpRequest&) { return HttpReply{}; });
        closed = gone.port();
    }
    auto shown = window("127.0.0.1:" + std::to_string(closed), {runtime::fromUtf8(mirror.host())});
    const auto start = std::chrono::steady_clock::now();
    press(*shown, "basla");
    EXPECT_TRUE(real.ended);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(log, Log{"box information [Velkora] Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden "
                       "Başlatılacak."});
    EXPECT_TRUE(read(m_app / "VelkoraLirvane.exe") == program);
}

}  // namespace
