#include "download/internet_file.h"
#include "platform/inet/curl_internet.h"
#include "platform/runtime/text.h"
#include "tests/support/error_of.h"
#include "tests/support/nginx_server.h"
#include "tests/support/recording_site.h"
#include "tests/support/test_http_server.h"
#include "tests/support/tinyproxy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// The control on the real network layer against a loopback server.
class InternetFileOverCurl : public testing::Test {
protected:
    InternetFileOverCurl()
    {
        m_dir = fs::temp_directory_path() / ("over_curl_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        control.setSite(&site);
        control.initNew();
        control.setLocalFile(runtime::fromUtf8((m_dir / "down.exe").string()));
    }
    ~InternetFileOverCurl() override { fs::remove_all(m_dir); }

    std::string local() const
    {
        std::ifstream in(m_dir / "down.exe", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_dir;
    std::vector<std::string> log;
    inet::CurlInternet internet{inet::Timeouts{std::chrono::milliseconds(5000), std::chrono::milliseconds(500)}};
    RecordingSite site{log};
    InternetFile control{internet, [] {}};
};

TEST_F(InternetFileOverCurl, ErrorPageIsWrittenAndCompleted)
{
    TestHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.status = 404;
        reply.reason = "File Not Found";
        reply.body = "<html>no such file</html>";
        return reply;
    });
    control.setUrl(runtime::fromUtf8(server.url("/lirvane/none.exe")));
    control.StartDownload();
    EXPECT_EQ(log.back(), "DownloadComplete");
    EXPECT_EQ(local(), "<html>no such file</html>");
    EXPECT_EQ(control.FileExists(), runtime::False);
    EXPECT_EQ(internet.openHandleCount(), 0u);
}

TEST_F(InternetFileOverCurl, DroppedConnectionIsCouldNotReadUrlWithThePartialBytesKept)
{
    const std::string body(10000, 'z');
    TestHttpServer server([&](const HttpRequest& request) {
        HttpReply reply = HttpReply::file(request, body);
        if (request.method == "GET")
            reply.dropAfter = 4096 + 100;
        return reply;
    });
    control.setUrl(runtime::fromUtf8(server.url("/a.exe")));
    control.StartDownload();
    EXPECT_EQ(log.back(), "DownloadError Could not read Url");
    EXPECT_EQ(local(), body.substr(0, 4196));
    EXPECT_EQ(internet.openHandleCount(), 0u);

    // The partial file resumes to the whole resource.
    log.clear();
    TestHttpServer whole([&](const HttpRequest& request) { return HttpReply::file(request, body); });
    control.setUrl(runtime::fromUtf8(whole.url("/a.exe")));
    log.clear();
    control.ResumeDownload();
    EXPECT_EQ(log.front(), "DownloadProgress 6244");
    EXPECT_EQ(log.back(), "DownloadComplete");
    EXPECT_EQ(local(), body);
}

TEST_F(InternetFileOverCurl, SizeAndDateComeFromTheHeadRequest)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply = HttpReply::file(request, std::string(3210, 'q'));
        reply.headers.emplace_back("Last-Modified", "Mon, 07 Dec 2026 08:00:00 GMT");
        return reply;
    });
    control.setUrl(runtime::fromUtf8(server.url("/lirvane/a.exe")));
    control.RequestInformation();
    EXPECT_EQ(control.FileSize(), 3210);
    EXPECT_EQ(control.FileExists(), runtime::True);
    EXPECT_EQ(control.LastModified(), u"Mon, 07 Dec 2026 08:00:00 GMT");
    EXPECT_EQ(server.requests().at(0).method, "HEAD");
}

// A control of its own on a layer with long limits, so that only a cancel or the header limit
// can end a wait early. Its host's "process events" cancels at once when `cancelAtOnce`.
struct PatientControl {
    explicit PatientControl(const std::string& url, bool cancelAtOnce = false)
    {
        control.setSite(&site);
        control.initNew();
        control.setUrl(runtime::fromUtf8(url));
        m_cancel = cancelAtOnce;
    }
    std::vector<std::string> log;
    inet::CurlInternet internet{inet::Timeouts{std::chrono::milliseconds(30'000), std::chrono::milliseconds(30'000),
                                               std::chrono::milliseconds(600)}};
    RecordingSite site{log};
    bool m_cancel = false;
    InternetFile control{internet, [this] {
                             if (m_cancel)
                                 control.CancelDownload();
                         }};
};

HttpReply withContentLength(const HttpRequest& request, const std::string& length)
{
    HttpReply reply = HttpReply::file(request, std::string(5000, 'b'), false);
    reply.sendContentLength = false;
    reply.headers.emplace_back("Content-Length", length);
    return reply;
}

TEST_F(InternetFileOverCurl, MalformedLengthsReachTheInformationParser)
{
    for (const auto& [length, infoError, fileSize] : std::vector<std::tuple<std::string, int, std::int32_t>>{
             {"abc", 13, 0}, {"-5", 0, -5}, {"1e3", 0, 1000}, {"12.5", 0, 12}, {" 5000 ", 0, 5000}}) {
        TestHttpServer server([&](const HttpRequest& request) { return withContentLength(request, length); });
        PatientControl info(server.url("/a.exe"));
        EXPECT_EQ(errorOf([&] { info.control.RequestInformation(); }), infoError) << length;
        if (infoError == 0) {
            EXPECT_EQ(info.control.FileSize(), fileSize) << length;
        }
    }
}

// Answers that a hostile or broken server gives to the download's GET: an answer that never
// completes its header block, or is refused there, opens nothing and leaves an earlier local
// file as it was; a body that trickles fails as a stalled one does.
struct HostileAnswer {
    std::string name;
    std::function<HttpReply(const HttpRequest&)> reply;
    std::string ending;
};

void PrintTo(const HostileAnswer& c, std::ostream* out)
{
    *out << c.name;
}

class HostileAnswers : public InternetFileOverCurl, public testing::WithParamInterface<HostileAnswer> {};

TEST_P(HostileAnswers, EndTheDownloadWithoutHarmingTheLocalFile)
{
    TestHttpServer server([](const HttpRequest& request) {
        return request.method == "HEAD" ? HttpReply::file(request, "x") : GetParam().reply(request);
    });
    inet::CurlInternet impatient{inet::Timeouts{std::chrono::milliseconds(5000), std::chrono::milliseconds(500),
                                                std::chrono::milliseconds(600), 10}};
    InternetFile downloader(impatient, [] {});
    downloader.setSite(&site);
    downloader.initNew();
    downloader.setUrl(runtime::fromUtf8(server.url("/a.exe")));
    downloader.setLocalFile(runtime::fromUtf8((m_dir / "down.exe").string()));
    std::ofstream(m_dir / "down.exe") << "a complete earlier file";
    downloader.StartDownload();
    EXPECT_EQ(log.back(), GetParam().ending);
    if (GetParam().ending == "DownloadError Could not find Url") {
        EXPECT_EQ(local(), "a complete earlier file");
    }
    // Nothing is left open but the session that "Could not find Url" keeps for the next try.
    EXPECT_EQ(impatient.openHandleCount(), downloader.sessionHandle() != 0 ? 1u : 0u);
}

HttpReply malformedLength(const std::string& length)
{
    HttpReply reply;
    reply.body = std::string(5000, 'b');
    reply.sendContentLength = false;
    reply.headers.emplace_back("Content-Length", length);
    return reply;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileAnswers, testing::Values(
    HostileAnswer{"a negative length", [](const HttpRequest&) { return malformedLength("-5"); },
                  "DownloadError Could not find Url"},
    HostileAnswer{"a length in exponent form", [](const HttpRequest&) { return malformedLength("1e3"); },
                  "DownloadError Could not find Url"},
    HostileAnswer{"a fractional length", [](const HttpRequest&) { return malformedLength("12.5"); },
                  "DownloadError Could not find Url"},
    HostileAnswer{"two different lengths",
                  [](const HttpRequest&) {
                      HttpReply reply = malformedLength("5000");
                      reply.headers.emplace_back("Content-Length", "4000");
                      return reply;
                  },
                  "DownloadError Could not find Url"},
    HostileAnswer{"a status line and nothing more",
                  [](const HttpRequest&) {
                      HttpReply reply;
                      reply.dripHeaders = std::chrono::hours(1);
                      return reply;
                  },
                  "DownloadError Could not find Url"},
    HostileAnswer{"header lines dripping forever",
                  [](const HttpRequest&) {
                      HttpReply reply;
                      reply.dripHeaders = std::chrono::milliseconds(50);
                      return reply;
                  },
                  "DownloadError Could not find Url"},
    HostileAnswer{"a header line of a MiB",
                  [](const HttpRequest&) {
                      HttpReply reply;
                      reply.headers.emplace_back("X-Long", std::string(1024 * 1024, 'h'));
                      return reply;
                  },
                  "DownloadError Could not find Url"},
    HostileAnswer{"a body that trickles",
                  [](const HttpRequest&) {
                      HttpReply reply;
                      reply.body = std::string(100, 't');
                      reply.trickle = std::chrono::milliseconds(100);  // 5 bytes where the rule asks 10
                      return reply;
                  },
                  "DownloadError Could not read Url"},
    HostileAnswer{"a body that stops", [](const HttpRequest& request) {
                      HttpReply reply = HttpReply::file(request, std::string(5000, 's'));
                      reply.stallAfter = 2048;
                      return reply;
                  },
                  "DownloadError Could not read Url"}));

TEST_F(InternetFileOverCurl, ARedirectWithoutALocationIsTheAnswer)
{
    TestHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.status = 302;
        reply.reason = "Found";
        reply.headers.emplace_back("Location", "");
        reply.body = "no way on";
        return reply;
    });
    control.setUrl(runtime::fromUtf8(server.url("/a.exe")));
    control.RequestInformation();
    EXPECT_EQ(control.FileExists(), runtime::True);
    EXPECT_EQ(control.FileSize(), 9);
    control.StartDownload();
    EXPECT_EQ(log.back(), "DownloadComplete");
    EXPECT_EQ(local(), "no way on");
}

TEST_F(InternetFileOverCurl, ACancelGivesUpEveryWaitAndEndsAsTheCancel)
{
    // A body that never comes; a resumed download whose server ignores the range and stops
    // before the held bytes are skipped.
    TestHttpServer stalled([](const HttpRequest& request) {
        HttpReply reply = HttpReply::file(request, std::string(5000, 's'), false);
        if (request.method == "GET")
            reply.stallAfter = request.header("Range") ? 2000 : 0;
        return reply;
    });
    PatientControl fresh(stalled.url("/a.exe"), true);
    fresh.control.setLocalFile(runtime::fromUtf8((m_dir / "fresh.exe").string()));
    fresh.control.StartDownload();
    EXPECT_EQ(fresh.log.back(), "DownloadCancelled 0");

    std::ofstream(m_dir / "held.exe") << std::string(3000, 's');
    PatientControl resumed(stalled.url("/a.exe"), true);
    resumed.control.setLocalFile(runtime::fromUtf8((m_dir / "held.exe").string()));
    resumed.control.ResumeDownload();
    EXPECT_EQ(resumed.log.back(), "DownloadCancelled 0");
    EXPECT_EQ(fs::file_size(m_dir / "held.exe"), 3000u);
    EXPECT_EQ(resumed.internet.openHandleCount(), 0u);
}

// HTTPS and proxies against nginx and tinyproxy on loopback.
class NetworkReach : public testing::Test {
protected:
    NetworkReach()
    {
        fs::create_directories(m_root);
        std::ofstream(m_root / "a.exe", std::ios::binary) << resource;
    }
    ~NetworkReach() override { fs::remove_all(m_root); }

    static std::string pem(const std::string& name)
    {
        std::ifstream in(testCertificates() / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string local() const
    {
        std::ifstream in(m_root / "down.exe", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A fresh control on a layer trusting `authority`; its last event is the download's ending.
    std::string download(const std::string& url, const std::string& authority,
                         const std::function<void(InternetFile&)>& configure = {})
    {
        inet::CurlInternet internet(inet::kDefaultTimeouts, inet::TlsTrust{pem(authority)});
        std::vector<std::string> log;
        RecordingSite site(log);
        InternetFile control(internet, [] {});
        control.setSite(&site);
        control.initNew();
        control.setUrl(runtime::fromUtf8(url));
        control.setLocalFile(runtime::fromUtf8((m_root / "down.exe").string()));
        if (configure)
            configure(control);
        fs::remove(m_root / "down.exe");
        control.StartDownload();
        fileSize = control.FileSize();
        return log.back();
    }

    fs::path m_root = fs::temp_directory_path() / ("network-reach-" + std::to_string(::getpid()));
    const std::string resource = std::string(70'000, 'r') + "end";
    std::int32_t fileSize = 0;
};

TEST_F(NetworkReach, HttpsWithThePinnedAuthorityAndOnlyWithIt)
{
    NginxServer server(m_root, testCertificates() / "server.pem", testCertificates() / "server.key");
    EXPECT_EQ(download(server.origin() + "/a.exe", "authority.pem"), "DownloadComplete");
    EXPECT_EQ(fileSize, static_cast<std::int32_t>(resource.size()));  // the HEAD went over TLS too
    EXPECT_EQ(local(), resource);

    EXPECT_EQ(download(server.origin() + "/a.exe", "other-authority.pem"), "DownloadError Could not find Url");
    EXPECT_EQ(fileSize, -1);
    EXPECT_FALSE(fs::exists(m_root / "down.exe"));
}

TEST_F(NetworkReach, AProxyThatAsksGetsTheControlsCredentials)
{
    NginxServer plain(m_root);
    NginxServer secure(m_root, testCertificates() / "server.pem", testCertificates() / "server.key");
    TinyProxy proxy("velkora", "s3cret");
    const auto through = [&](const std::string& user) {
        return [&proxy, user](InternetFile& control) {
            control.setConnectType(1);
            control.setProxyServer(u"127.0.0.1");
            control.setProxyPort(static_cast<std::int16_t>(proxy.port()));
            control.setProxyUser(runtime::fromUtf8(user));
            control.setProxyPassword(u"s3cret");
        };
    };
    for (const NginxServer* server : {&plain, &secure}) {
        EXPECT_EQ(download(server->origin() + "/a.exe", "authority.pem", through("velkora")), "DownloadComplete")
            << server->origin();
        EXPECT_TRUE(local() == resource);
    }
    // Refused by the proxy: its answer is no copy of the file, and no tunnel opens for TLS.
    download(plain.origin() + "/a.exe", "authority.pem", through(""));
    EXPECT_FALSE(local() == resource);
    EXPECT_EQ(download(secure.origin() + "/a.exe", "authority.pem", through("")), "DownloadError Could not find Url");
}

// What was asked over TLS never goes on over plain HTTP, however its scheme is written.
TEST_F(NetworkReach, HttpsNeverFollowsARedirectToPlainHttp)
{
    NginxServer plain(m_root);
    NginxServer secure(m_root, testCertificates() / "server.pem", testCertificates() / "server.key",
                       "location = /to-http { return 302 " + plain.origin() + "/a.exe; }");
    for (const std::string& origin : {secure.origin(), "https:/" + secure.host(), "HTTPS://" + secure.host()}) {
        EXPECT_EQ(download(origin + "/to-http", "authority.pem"), "DownloadError Could not find Url") << origin;
        EXPECT_FALSE(fs::exists(m_root / "down.exe"));
    }
}

// Each hop of a redirect takes the proxy its own scheme calls for: the HTTPS leg of an http://
// address goes to the environment's https_proxy (here one that records and refuses).
TEST_F(NetworkReach, EveryRedirectTakesTheProxyOfItsOwnScheme)
{
    NginxServer secure(m_root, testCertificates() / "server.pem", testCertificates() / "server.key");
    TestHttpServer redirecting([&](const HttpRequest&) {
        HttpReply reply;
        reply.status = 302;
        reply.reason = "Found";
        reply.headers.emplace_back("Location", secure.origin() + "/a.exe");
        return reply;
    });
    TestHttpServer proxy([](const HttpRequest&) {
        HttpReply reply;
        reply.status = 403;
        reply.reason = "Forbidden";
        return reply;
    });
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "no_proxy", "NO_PROXY"})
        ::unsetenv(name);
    ::setenv("HTTPS_PROXY", proxy.url("").c_str(), 1);
    EXPECT_EQ(download(redirecting.url("/a.exe"), "authority.pem"), "DownloadError Could not find Url");
    ::unsetenv("HTTPS_PROXY");
    ASSERT_FALSE(proxy.requests().empty());
    EXPECT_EQ(proxy.requests().back().method, "CONNECT");
    EXPECT_EQ(proxy.requests().back().target, secure.host());
}

TEST_F(NetworkReach, SystemSettingsFollowTheEnvironmentInEitherCase)
{
    NginxServer server(m_root);
    TinyProxy proxy("velkora", "s3cret");  // refuses whoever comes without credentials
    const auto variables = {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"};
    for (const char* name : variables)
        ::unsetenv(name);
    ::setenv("HTTP_PROXY", ("http://" + proxy.address()).c_str(), 1);
    download(server.origin() + "/a.exe", "authority.pem");
    EXPECT_FALSE(local() == resource);  // it went to the proxy

    ::setenv("no_proxy", "127.0.0.1", 1);
    download(server.origin() + "/a.exe", "authority.pem");
    EXPECT_TRUE(local() == resource);
    ::unsetenv("no_proxy");

    download(server.origin() + "/a.exe", "authority.pem", [](InternetFile& control) { control.setConnectType(2); });
    EXPECT_TRUE(local() == resource);  // direct ignores the environment
    for (const char* name : variables)
        ::unsetenv(name);
}

}  // namespace
