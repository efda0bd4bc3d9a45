#include "platform/inet/internet_posix.h"
#include "tests/support/test_http_server.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace inet;

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";

std::string readAll(Internet& internet, Handle file)
{
    std::string result;
    std::byte chunk[2048];
    std::uint32_t count = 0;
    while (internet.readFile(file, chunk, count) && count > 0)
        result.append(reinterpret_cast<const char*>(chunk), count);
    return result;
}

// The system's settings on Linux are the proxy variables of the environment.
class CurlInternetTest : public testing::Test {
protected:
    CurlInternet internet;
    Handle session = internet.openSession(kAgent, kOpenTypeDirect, std::nullopt, std::nullopt, 0);
};

TEST_F(CurlInternetTest, PreconfiguredTakesTheProxyVariablesAndDirectIgnoresThem)
{
    TestHttpServer proxy([](const HttpRequest&) {
        HttpReply reply;
        reply.body = "proxy";
        return reply;
    });
    TestHttpServer origin([](const HttpRequest&) {
        HttpReply reply;
        reply.body = "origin";
        return reply;
    });
    // Only this test's proxy: the machine's own proxy settings are set aside and put back.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        ::unsetenv(name);
    }
    ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str(), 1);
    const Handle preconfig = internet.openSession(kAgent, kOpenTypePreconfig, std::nullopt, std::nullopt, 0);
    EXPECT_EQ(readAll(internet, internet.openUrl(preconfig, origin.url("/"), std::nullopt, 0, 0)), "proxy");
    EXPECT_EQ(readAll(internet, internet.openUrl(session, origin.url("/"), std::nullopt, 0, 0)), "origin");
    for (const auto& [name, value] : saved) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

}  // namespace
