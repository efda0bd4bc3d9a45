#include "platform/inet/curl_internet.h"
#include "tests/support/minisign.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_http_server.h"
#include "tests/support/updater_fakes.h"
#include "updater/frmGuncel.h"

#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const fs::path app = base / "Uygulama Klasörü Şimdi";
    const fs::path server = base / "sunucu";
    write(app / "VelkoraLirvane.exe", kOldProgram);
    fs::permissions(app / "VelkoraLirvane.exe", fs::perms::owner_all);
    ASSERT_EQ(::mkfifo((app / "started.fifo").c_str(), 0600), 0);
    write(server / "lirvane" / "lirvanesurumPlus2.txt", "2.0\n");
    write(server / "lirvane" / "lirvanedosyaPlus2.txt", "VelkoraLirvane_new.exe\n");
    write(server / "lirvane" / "VelkoraLirvane_new.exe", kNewProgram);
    NginxServer nginx(server);

    Log log;
    inet::CurlInternet internet;
    RecordingBoxes boxes(log);  // answers each box at once
    shell::PosixShell shell;
    CurlInet1 inet1;
    HtmlBrowser browser;
    bool ended = false;
    frmGuncel window(UpdaterServices{internet, boxes, shell, inet1, browser, [&] { ended = true; },
                                     runtime::fromUtf8(app.string()), runtime::fromUtf8(nginx.host()),
                                     u"www.example", std::nullopt});
    window.show();

    QTest::mouseClick(window.basla, Qt::LeftButton);

    EXPECT_TRUE(ended);
    EXPECT_EQ(log, Log{"box information [Velkora] Güncelleştirme İşlemi Tamamlandı. Programınız Şimdi Yeniden "
                       "Başlatılacak."});
    EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(read(app / "VelkoraLirvane_old.exe"), kOldProgram);
    EXPECT_FALSE(fs::exists(app / "VelkoraLirvane_down.exe"));
    EXPECT_EQ(window.bar1->panelText(1), QStringLiteral("Güncelleme başarıyla tamamlandı"));
    EXPECT_EQ(window.pbar->caption(), QStringLiteral("%100"));
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
        NginxServer nginx(server, testCertificates() / (certificate + ".pem"), testCertificates() / (certificate + ".key"));

        Log log;
        const inet::TlsTrust trust{pemOf("authority.pem")};
        inet::CurlInternet internet(inet::kDefaultTimeouts, trust);
        RecordingBoxes boxes(log);
        shell::PosixShell shell;
        CurlInet1 inet1(trust);
        HtmlBrowser browser(trust);
        bool ended = false;
        frmGuncel window(UpdaterServices{internet, boxes, shell, inet1, browser, [&] { ended = true; },
                                         runtime::fromUtf8(app.string()), runtime::fromUtf8(nginx.origin()),
                                         u"https://www.example", std::nullopt});
        window.show();
        QTest::mouseClick(window.basla, Qt::LeftButton);

        if (certificate == "server") {
            EXPECT_TRUE(ended);
            EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
        } else {
            EXPECT_FALSE(ended);
            EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kOldProgram);
            EXPECT_EQ(window.bar1->panelText(1), QStringLiteral("İnternet bağlantısı sağlanamadı"));
            EXPECT_EQ(log.size(), 2u);  // the reader's message, then the check's
        }
        fs::remove_all(base);
    }
}

// Signed updates: the server laid out by the vendor's publishing command with a key made by
// minisign, then spoiled the way each case says; the updater built with the vendor's key.
struct SignedCase {
    std::string name;
    std::function<void(const fs::path& folder, const MinisignKey& vendor, const MinisignKey& other)> spoil;
    bool installs;
    bool withKey = true;
};

void PrintTo(const SignedCase& c, std::ostream* out)
{
    *out << c.name;
}

class SignedUpdate : public testing::TestWithParam<SignedCase> {
protected:
    static void SetUpTestSuite()
    {
        s_keys = fs::temp_directory_path() / ("e2e keys " + std::to_string(::getpid()));
        s_vendor = MinisignKey::make(s_keys, "vendor");
        s_other = MinisignKey::make(s_keys, "other");
    }
    static void TearDownTestSuite() { fs::remove_all(s_keys); }

    inline static fs::path s_keys;
    inline static MinisignKey s_vendor;
    inline static MinisignKey s_other;
};

constexpr char kPublished[] = "VelkoraLirvane_2.0.exe";

TEST_P(SignedUpdate, InstallsOnlyWhatTheVendorSigned)
{
    const fs::path base = fs::temp_directory_path() / ("e2e signed " + std::to_string(::getpid()));
    const fs::path app = base / "app";
    const fs::path server = base / "server";
    write(app / "VelkoraLirvane.exe", kOldProgram);
    write(base / kPublished, kNewProgram);
    const std::string publish = std::string(PROJECT_SOURCE_DIR) + "/scripts/publish-update "
                                + (GetParam().withKey ? "--secret-key '" + s_vendor.secretFile.string() + "' " : "")
                                + "--version 2.0 '" + (base / kPublished).string() + "' '" + server.string() + "' >/dev/null";
    ASSERT_EQ(std::system(publish.c_str()), 0);
    if (GetParam().spoil)
        GetParam().spoil(server / "lirvane", s_vendor, s_other);
    NginxServer nginx(server);

    Log log;
    inet::CurlInternet internet;
    RecordingBoxes boxes(log);
    shell::PosixShell shell;
    CurlInet1 inet1;
    HtmlBrowser browser;
    bool ended = false;
    const auto key = GetParam().withKey ? signature::parsePublicKey(s_vendor.publicLine()) : std::nullopt;
    frmGuncel window(UpdaterServices{internet, boxes, shell, inet1, browser, [&] { ended = true; },
                                     runtime::fromUtf8(app.string()), runtime::fromUtf8(nginx.host()), u"www.example",
                                     key});
    window.show();
    QTest::mouseClick(window.basla, Qt::LeftButton);

    if (GetParam().installs) {
        EXPECT_TRUE(ended);
        EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kNewProgram);
        if (GetParam().withKey) {
            EXPECT_EQ(read(app / "VelkoraLirvane.exe.minisig"),
                      read(server / "lirvane" / (std::string(kPublished) + ".minisig")));
        }
    } else {
        EXPECT_FALSE(ended);
        EXPECT_EQ(log, Log{"box critical [Güncelleme Hatası] İndirilen dosyanın imzası doğrulanamadı. Programınız "
                           "değiştirilmedi."});
        EXPECT_EQ(read(app / "VelkoraLirvane.exe"), kOldProgram);
        EXPECT_FALSE(fs::exists(app / "VelkoraLirvane_down.exe"));
        EXPECT_FALSE(fs::exists(app / "VelkoraLirvane_old.exe"));
        EXPECT_EQ(window.bar1->panelText(1), QStringLiteral("Güncelleme başarısız oldu"));
        EXPECT_TRUE(window.basla->isEnabled());
    }
    fs::remove_all(base);
}

void append(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

const fs::path published(const fs::path& folder)
{
    return folder / kPublished;
}

const fs::path minisig(const fs::path& folder)
{
    return folder / (std::string(kPublished) + ".minisig");
}

INSTANTIATE_TEST_SUITE_P(Table, SignedUpdate, testing::Values(
    SignedCase{"a good signed update", {}, true},
    SignedCase{"a program changed by one byte",
               [](const fs::path& f, const MinisignKey&, const MinisignKey&) { append(published(f), "#"); }, false},
    SignedCase{"a signature by another key",
               [](const fs::path& f, const MinisignKey&, const MinisignKey& other) { other.sign(published(f), minisig(f)); },
               false},
    SignedCase{"a missing signature", [](const fs::path& f, const MinisignKey&, const MinisignKey&) { fs::remove(minisig(f)); },
               false},
    SignedCase{"an oversized signature",
               [](const fs::path& f, const MinisignKey&, const MinisignKey&) { append(minisig(f), std::string(4096, '\n')); },
               false},
    SignedCase{"a garbled signature",
               [](const fs::path& f, const MinisignKey&, const MinisignKey&) {
                   std::string text = read(minisig(f));
                   text[text.find('\n') + 5] ^= 1;
                   std::ofstream(minisig(f), std::ios::binary) << text;
               },
               false},
    SignedCase{"a signature whose file is another program",
               [](const fs::path& f, const MinisignKey& vendor, const MinisignKey&) {
                   fs::copy_file(published(f), f / "Other.exe");
                   vendor.sign(f / "Other.exe", minisig(f));
               },
               false},
    SignedCase{"a signature older than the installed program's",
               [](const fs::path& f, const MinisignKey& vendor, const MinisignKey&) {
                   vendor.sign(published(f), minisig(f), false, "timestamp:1000\\tfile:" + std::string(kPublished));
                   // The program installed now came with a newer signature.
                   const fs::path app = f.parent_path().parent_path() / "app";
                   vendor.sign(app / "VelkoraLirvane.exe", app / "VelkoraLirvane.exe.minisig", false,
                               "timestamp:2000\\tfile:VelkoraLirvane.exe");
               },
               false},
    SignedCase{"an unsigned update to a build without a key", {}, true, false}));

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
    inet::CurlInternet internet;
    RecordingBoxes recorded{log};
    shell::PosixShell shell;
    CurlInet1 inet1;
    HtmlBrowser browser;
    bool ended = false;
    frmGuncel window{UpdaterServices{internet, recorded, shell, inet1, browser, [this] { ended = true; },
                                     runtime::fromUtf8(m_app.string()),
                                     runtime::fromUtf8("127.0.0.1:" + std::to_string(server.port())), u"www.example", std::nullopt}};
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
    QTest::mouseClick(window.basla, Qt::LeftButton);
    EXPECT_FALSE(ended);
    EXPECT_EQ(boxes(), (std::vector<std::string>{"box critical [Güncelleme Hatası] İndirilen dosya geçerli bir "
                                                 "program değil. Programınız değiştirilmedi."}));
    EXPECT_EQ(read(m_app / "VelkoraLirvane.exe"), kOldProgram);
    EXPECT_FALSE(fs::exists(m_app / "VelkoraLirvane_down.exe"));
    EXPECT_EQ(window.bar1->panelText(1), QStringLiteral("Güncelleme başarısız oldu"));
    EXPECT_TRUE(window.pbar->caption().isEmpty());
    EXPECT_TRUE(window.basla->isEnabled());
}

TEST_F(UpdateAgainstAScriptedServer, CancelTakesEffectWhileTheServerSendsNothing)
{
    handler = [&](const HttpRequest& request) {
        HttpReply reply = serve(request, std::string(5000, 'x'));
        if (request.method == "GET" && request.target == "/lirvane/VelkoraLirvane_new.exe") {
            reply.stallAfter = 0;
            onWindowThread([this] { QTest::mouseClick(window.btniptal, Qt::LeftButton); });
        }
        return reply;
    };
    QTest::mouseClick(window.basla, Qt::LeftButton);
    // Without the cancel the transfer would end after a minute as "Could not read Url".
    EXPECT_EQ(boxes(), (std::vector<std::string>{"box exclamation [Velkora] Güncelleme iptal edildi"}));
    EXPECT_EQ(window.bar1->panelText(1), QStringLiteral("Güncelleme iptal edildi"));
    EXPECT_TRUE(window.pbar->caption().isEmpty());
    EXPECT_EQ(window.pbar->value(), 0);
    EXPECT_TRUE(window.basla->isEnabled());
}

TEST_F(UpdateAgainstAScriptedServer, ClosingTheWindowGivesUpAStalledVersionText)
{
    handler = [&](const HttpRequest& request) {
        HttpReply reply = serve(request, kNewProgram);
        reply.stallAfter = 0;
        onWindowThread([this] { window.close(); });
        return reply;
    };
    QTest::mouseClick(window.basla, Qt::LeftButton);
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
    QTest::mouseClick(window.basla, Qt::LeftButton);
    EXPECT_FALSE(ended);
    fileName = "VelkoraLirvane_new.exe";
    QTest::mouseClick(window.basla, Qt::LeftButton);
    EXPECT_TRUE(ended);
    EXPECT_EQ(read(m_app / "VelkoraLirvane.exe"), kNewProgram);
    EXPECT_EQ(window.pbar->caption(), QStringLiteral("%100"));
}

}  // namespace
