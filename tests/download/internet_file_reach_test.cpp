#include "download/internet_file.h"
#include "platform/inet/internet_posix.h"
#include "platform/runtime/text.h"
#include "tests/support/nginx_server.h"
#include "tests/support/recording_site.h"
#include "tests/support/test_http_server.h"
#include "tests/support/tinyproxy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Where HTTPS and proxies lead, against nginx and tinyproxy on loopback. The pinned authority and
// a proxy's credentials are the inetfile script's, which runs on both systems.
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
        return log.back();
    }

    fs::path m_root = fs::temp_directory_path() / ("network-reach-" + std::to_string(::getpid()));
    const std::string resource = std::string(70'000, 'r') + "end";
};

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
