#include "platform/inet/internet.h"
#include "tests/support/test_http_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace inet;

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";

std::string resource(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

// Reads a URL handle to its end; nullopt when a read fails (the bytes so far in `partial`).
std::optional<std::string> readAll(Internet& internet, Handle file, std::string* partial = nullptr)
{
    std::string result;
    std::byte chunk[2048];
    for (;;) {
        std::uint32_t count = 0;
        if (!internet.readFile(file, chunk, count)) {
            if (partial)
                *partial = result;
            return std::nullopt;
        }
        if (count == 0)
            return result;
        result.append(reinterpret_cast<const char*>(chunk), count);
    }
}

std::string hostOf(const TestHttpServer& server)
{
    return "127.0.0.1:" + std::to_string(server.port());
}

// The system's internet layer (libcurl on Linux, WinINet on Windows) against the scripted server:
// the same results on both.
class InternetTest : public testing::Test {
protected:
    std::unique_ptr<Internet> owned =
        systemInternet(Timeouts{std::chrono::milliseconds(5000), std::chrono::milliseconds(400)});
    Internet& internet = *owned;
    Handle session = internet.openSession(kAgent, kOpenTypeDirect, std::nullopt, std::nullopt, 0);
};

TEST_F(InternetTest, HeadGoesOutAsHttp10WithTheAgentAndNoCache)
{
    TestHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.body = "12345";
        reply.headers.emplace_back("Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT");
        return reply;
    });
    const Handle connection =
        internet.connect(session, hostOf(server), kInvalidPortNumber, std::nullopt, std::nullopt, kServiceHttp, 0, 0);
    const Handle request =
        internet.openRequest(connection, "HEAD", "/lirvane/a.exe", "HTTP/1.0", std::nullopt, kFlagReload, 0);
    ASSERT_NE(request, 0u);
    EXPECT_TRUE(internet.sendRequest(request, std::nullopt, {}));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_EQ(requests[0].target, "/lirvane/a.exe");
    EXPECT_EQ(requests[0].version, "HTTP/1.0");
    EXPECT_EQ(requests[0].header("User-Agent"), kAgent);
    EXPECT_EQ(requests[0].header("Pragma"), "no-cache");
    EXPECT_EQ(requests[0].header("Cache-Control"), "no-cache");
    EXPECT_FALSE(requests[0].header("Authorization").has_value());

    std::string buffer(1024, ' ');
    std::uint32_t length = 1024;
    std::uint32_t index = 0;
    ASSERT_TRUE(internet.queryInfo(request, kQueryRawHeadersCrlf, buffer, length, index));
    const std::string block = buffer.substr(0, length);
    EXPECT_EQ(block.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(block.find("\r\nContent-Length: 5\r\n"), std::string::npos);
    EXPECT_NE(block.find("\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n"), std::string::npos);
    EXPECT_EQ(block.substr(block.size() - 4), "\r\n\r\n");
    EXPECT_EQ(buffer[length], '\0');

    length = 1024;
    ASSERT_TRUE(internet.queryInfo(request, kQueryStatusCode, buffer, length, index));
    EXPECT_EQ(std::string(buffer.c_str()), "200");

    // A block that does not fit with its NUL fails and tells the size needed.
    length = static_cast<std::uint32_t>(block.size());
    EXPECT_FALSE(internet.queryInfo(request, kQueryRawHeadersCrlf, buffer, length, index));
    EXPECT_EQ(length, block.size() + 1);

    internet.closeHandle(request);
    internet.closeHandle(connection);
}

// A server that asks for credentials (Basic) until a request brings some.
HttpReply askingForCredentials(const HttpRequest& request)
{
    HttpReply reply;
    if (!request.header("Authorization")) {
        reply.status = 401;
        reply.reason = "Unauthorized";
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"velkora\"");
    }
    return reply;
}

TEST_F(InternetTest, CredentialsOnlyWithAUserName)
{
    // The server asks: a layer that offers the credentials at once and one that waits to be
    // asked end alike.
    TestHttpServer server(askingForCredentials);
    for (const auto& [user, password, expected] :
         std::vector<std::tuple<std::optional<std::string>, std::optional<std::string>, std::optional<std::string>>>{
             // First: WinINet, like a browser, offers a server what it once took from it.
             {std::nullopt, std::nullopt, std::nullopt},
             {"user", "", "Basic dXNlcjo="},
             {"user", "pw", "Basic dXNlcjpwdw=="}}) {
        const Handle own = internet.openSession(kAgent, kOpenTypeDirect, std::nullopt, std::nullopt, 0);
        const Handle connection = internet.connect(own, hostOf(server), 0, user, password, kServiceHttp, 0, 0);
        const Handle request = internet.openRequest(connection, "HEAD", "/", "HTTP/1.0", std::nullopt, 0, 0);
        internet.sendRequest(request, std::nullopt, {});
        EXPECT_EQ(server.requests().back().header("Authorization"), expected);
        internet.closeHandle(own);
    }
}

TEST_F(InternetTest, SiteCredentialsGoWithTheirOwnRequestAlone)
{
    TestHttpServer server(askingForCredentials);
    const Handle connection = internet.connect(session, hostOf(server), 0, "user", "pw", kServiceHttp, 0, 0);
    const Handle request = internet.openRequest(connection, "HEAD", "/a", "HTTP/1.0", std::nullopt, 0, 0);
    ASSERT_TRUE(internet.sendRequest(request, std::nullopt, {}));
    ASSERT_EQ(server.requests().back().header("Authorization"), "Basic dXNlcjpwdw==");
    // The URL opened after it was given none: it sends none, whatever the platform keeps.
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    ASSERT_NE(file, 0u);
    EXPECT_FALSE(server.requests().back().header("Authorization").has_value());
}

TEST_F(InternetTest, ConnectRefusesAHostThatIsNoHost)
{
    for (const char* server : {"", "https:", "host:port:x", "a b"})
        EXPECT_EQ(internet.connect(session, server, 0, std::nullopt, std::nullopt, kServiceHttp, 0, 0), 0u) << server;
}

TEST_F(InternetTest, OpenUrlDownloadsTheWholeResource)
{
    const std::string body = resource(300 * 1024 + 17);
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, body); });
    const Handle file = internet.openUrl(session, server.url("/big.bin"), std::nullopt, kFlagExistingConnect, 0);
    ASSERT_NE(file, 0u);
    EXPECT_EQ(readAll(internet, file), body);
    EXPECT_EQ(server.requests()[0].header("User-Agent"), kAgent);
}

TEST_F(InternetTest, ReadsFillTheBufferUntilTheEnd)
{
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, resource(5000)); });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    std::byte chunk[2048];
    std::vector<std::uint32_t> counts;
    std::uint32_t count = 0;
    do {
        ASSERT_TRUE(internet.readFile(file, chunk, count));
        counts.push_back(count);
    } while (count > 0);
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{2048, 2048, 904, 0}));
}

TEST_F(InternetTest, ErrorStatusStillOpensWithItsBody)
{
    TestHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.status = 404;
        reply.reason = "Not Found";
        reply.body = "<html>missing</html>";
        return reply;
    });
    const Handle file = internet.openUrl(session, server.url("/none"), std::nullopt, 0, 0);
    ASSERT_NE(file, 0u);
    EXPECT_EQ(readAll(internet, file), "<html>missing</html>");
}

TEST_F(InternetTest, RedirectsAreFollowed)
{
    TestHttpServer server([&](const HttpRequest& request) {
        if (request.target == "/old") {
            HttpReply reply;
            reply.status = 302;
            reply.reason = "Found";
            reply.headers.emplace_back("Location", "/new");
            return reply;
        }
        return HttpReply::file(request, "moved here");
    });
    const Handle file = internet.openUrl(session, server.url("/old"), std::nullopt, 0, 0);
    EXPECT_EQ(readAll(internet, file), "moved here");
}

TEST_F(InternetTest, UrlWithALineBreakFetchesTheNamedFile)
{
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, request.target); });
    const Handle file =
        internet.openUrl(session, " " + server.url("/lirvane/Velkora\tLirvane.exe") + "\r\n", std::nullopt, 0, 0);
    EXPECT_EQ(readAll(internet, file), "/lirvane/VelkoraLirvane.exe");
}

TEST_F(InternetTest, UnreachableOrUnusableUrlsGiveNoHandle)
{
    std::uint16_t closedPort = 0;
    {
        TestHttpServer gone([](const HttpRequest&) { return HttpReply{}; });
        closedPort = gone.port();
    }
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort) + "/a";
    for (const std::string& url :
         {refused, std::string("not a url"), std::string("ftp://127.0.0.1/x"), std::string("http://"), std::string("")})
        EXPECT_EQ(internet.openUrl(session, url, std::nullopt, 0, 0), 0u) << url;
    EXPECT_EQ(internet.openUrl(0, refused, std::nullopt, 0, 0), 0u);
}

TEST_F(InternetTest, MoveUsesARangeRequest)
{
    const std::string body = resource(5000);
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, body); });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    EXPECT_EQ(internet.setFilePointer(file, 3000, nullptr, kFileCurrent, 0), 3000u);
    EXPECT_EQ(readAll(internet, file), body.substr(3000));
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=3000-");
}

TEST_F(InternetTest, ServerIgnoringTheRangeStillGivesTheRest)
{
    const std::string body = resource(70000);
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, body, false); });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    EXPECT_EQ(internet.setFilePointer(file, 65000, nullptr, kFileCurrent, 0), 65000u);
    EXPECT_EQ(readAll(internet, file), body.substr(65000));
}

TEST_F(InternetTest, MoveToTheVeryEndLeavesNothingToRead)
{
    const std::string body = resource(100);
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, body); });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    EXPECT_EQ(internet.setFilePointer(file, 100, nullptr, kFileCurrent, 0), 100u);
    EXPECT_EQ(readAll(internet, file), "");

    const Handle beyond = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    EXPECT_EQ(internet.setFilePointer(beyond, 150, nullptr, kFileCurrent, 0), kInvalidSetFilePointer);
}

TEST_F(InternetTest, DroppedConnectionIsAReadFailureAfterTheBytesReceived)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply = HttpReply::file(request, resource(10000));
        reply.dropAfter = 4000;
        return reply;
    });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    ASSERT_NE(file, 0u);
    std::string partial;
    EXPECT_EQ(readAll(internet, file, &partial), std::nullopt);
    EXPECT_EQ(partial, resource(4000));
}

TEST_F(InternetTest, StalledTransferFailsAfterTheStallTime)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply = HttpReply::file(request, resource(10000));
        reply.stallAfter = 100;
        return reply;
    });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    ASSERT_NE(file, 0u);
    const auto start = std::chrono::steady_clock::now();
    std::string partial;
    EXPECT_EQ(readAll(internet, file, &partial), std::nullopt);
    EXPECT_EQ(partial.size(), 100u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The request given up lets go of its connection then, not when the process ends.
    EXPECT_TRUE(server.waitForEndedConnections(1, std::chrono::seconds(3)));
}

// Answers that are not HTTP, or bodies that break their own framing, as a hostile server sends
// them: no answer at all, a read that fails, or never more than the body. The same on both
// systems, and refused for what they are, long before the header deadline.
struct HostileAnswer {
    std::string name;
    std::string raw;
    std::optional<std::string> body;  // nullopt: the URL opens, and a read fails
    bool opens = true;
};

void PrintTo(const HostileAnswer& c, std::ostream* out)
{
    *out << c.name;
}

std::string answer(const std::string& headers, const std::string& body)
{
    return "HTTP/1.1 200 OK\r\n" + headers + "Connection: close\r\n\r\n" + body;
}

std::string headerLines(int count)
{
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += "X-Flood-" + std::to_string(i) + ": v\r\n";
    return lines;
}

class HostileAnswerTest : public InternetTest, public testing::WithParamInterface<HostileAnswer> {};

TEST_P(HostileAnswerTest, IsNoAnswerOrAFailedReadAndNeverMoreThanTheBody)
{
    TestHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.raw = GetParam().raw;
        return reply;
    });
    const auto start = std::chrono::steady_clock::now();
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    if (!GetParam().opens) {
        EXPECT_EQ(file, 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kDefaultTimeouts.headers / 4);
        return;
    }
    ASSERT_NE(file, 0u);
    // A chunked body is no answer to an HTTP/1.0 request, the form WinINet's layer asks in.
    const bool chunkedToHttp10 =
        GetParam().raw.find("chunked") != std::string::npos && server.requests().at(0).version == "HTTP/1.0";
    EXPECT_EQ(readAll(internet, file), chunkedToHttp10 ? std::nullopt : GetParam().body);
}

constexpr char kChunked[] = "Transfer-Encoding: chunked\r\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, HostileAnswerTest, testing::Values(
    HostileAnswer{"a whole chunked body", answer(kChunked, "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"), "hello world"},
    HostileAnswer{"a chunk cut off", answer(kChunked, "10\r\nabc"), std::nullopt},
    HostileAnswer{"no final chunk", answer(kChunked, "5\r\nhello\r\n"), std::nullopt},
    HostileAnswer{"a chunk size of letters", answer(kChunked, "zz\r\nhello\r\n0\r\n\r\n"), std::nullopt},
    HostileAnswer{"a negative chunk size", answer(kChunked, "-10\r\nhello\r\n0\r\n\r\n"), std::nullopt},
    HostileAnswer{"a chunk size of 20 digits", answer(kChunked, "00000000000000000005\r\nhello\r\n0\r\n\r\n"),
                  std::nullopt},
    HostileAnswer{"bytes past the length", answer("Content-Length: 5\r\n", "helloEXTRA BYTES"), "hello"},
    HostileAnswer{"a length too long for a number", answer("Content-Length: 99999999999999999999999\r\n", "x"),
                  std::nullopt, false},
    HostileAnswer{"an answer of HTTP/0.9", "first line\r\nsecond line\r\n", std::nullopt, false},
    HostileAnswer{"a status line of another protocol", "FOO 200 OK\r\nX-A: b\r\n\r\nbody", std::nullopt, false},
    HostileAnswer{"a status of letters", "HTTP/1.1 2OO OK\r\nContent-Length: 4\r\n\r\nbody", std::nullopt, false},
    HostileAnswer{"a status beyond 32 bits", "HTTP/1.1 4294967496 OK\r\nContent-Length: 4\r\n\r\nbody",
                  std::nullopt, false},
    HostileAnswer{"a status beyond 599", "HTTP/1.1 600 Far\r\nContent-Length: 4\r\n\r\nbody", std::nullopt, false},
    HostileAnswer{"no answer at all", "", std::nullopt, false},
    HostileAnswer{"40,000 header lines", answer(headerLines(40'000) + "Content-Length: 1\r\n", "x"), std::nullopt, false},
    HostileAnswer{"100,000 header lines", answer(headerLines(100'000) + "Content-Length: 1\r\n", "x"), std::nullopt,
                  false}));
// clang-format on

TEST_F(InternetTest, ProxyTypeSendsEverythingToTheNamedProxy)
{
    TestHttpServer proxy([](const HttpRequest&) {
        HttpReply reply;
        reply.body = "via proxy";
        return reply;
    });
    const Handle viaProxy =
        internet.openSession(kAgent, kOpenTypeProxy, "127.0.0.1:" + std::to_string(proxy.port()), std::nullopt, 0);
    const Handle file = internet.openUrl(viaProxy, "http://update.velkora.example/lirvane/x.txt", std::nullopt, 0, 0);
    EXPECT_EQ(readAll(internet, file), "via proxy");
    // The request line names the whole URL, with or without its scheme's default port.
    const std::string target = proxy.requests().at(0).target;
    EXPECT_TRUE(target == "http://update.velkora.example/lirvane/x.txt"
                || target == "http://update.velkora.example:80/lirvane/x.txt")
        << target;

    const Handle noProxy = internet.openSession(kAgent, kOpenTypeProxy, ":8080", std::nullopt, 0);
    EXPECT_EQ(internet.openUrl(noProxy, "http://update.velkora.example/", std::nullopt, 0, 0), 0u);
}

TEST_F(InternetTest, ClosingASessionReleasesEverythingOpenedOnIt)
{
    TestHttpServer server([&](const HttpRequest& request) { return HttpReply::file(request, resource(1000)); });
    const Handle file = internet.openUrl(session, server.url("/a"), std::nullopt, 0, 0);
    const Handle connection =
        internet.connect(session, hostOf(server), 0, std::nullopt, std::nullopt, kServiceHttp, 0, 0);
    internet.openRequest(connection, "HEAD", "/", "HTTP/1.0", std::nullopt, 0, 0);
    EXPECT_EQ(internet.openHandleCount(), 4u);
    EXPECT_TRUE(internet.closeHandle(session));
    EXPECT_EQ(internet.openHandleCount(), 0u);
    std::uint32_t count = 0;
    std::byte chunk[16];
    EXPECT_FALSE(internet.readFile(file, chunk, count));
    EXPECT_FALSE(internet.closeHandle(file));
    EXPECT_FALSE(internet.closeHandle(0));
    EXPECT_FALSE(internet.closeHandle(0xDEAD));
}

TEST_F(InternetTest, AWaitCallbackRunsWhileWaitingAndMayCloseWhatIsWaitedOn)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply = HttpReply::file(request, resource(10000));
        reply.stallAfter = 100;
        return reply;
    });
    const auto owner = systemInternet(Timeouts{std::chrono::milliseconds(5000), std::chrono::milliseconds(30'000)});
    Internet& patient = *owner;
    const Handle own = patient.openSession(kAgent, kOpenTypeDirect, std::nullopt, std::nullopt, 0);
    const Handle file = patient.openUrl(own, server.url("/a"), std::nullopt, 0, 0);
    int calls = 0;
    ASSERT_TRUE(patient.setWaitCallback(own, [&] {
        ++calls;
        patient.closeHandle(own);  // as a host closing its window may
        return true;
    }));
    std::byte chunk[2048];
    std::uint32_t count = 0;
    EXPECT_FALSE(patient.readFile(file, chunk, count));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(patient.openHandleCount(), 0u);
    EXPECT_FALSE(patient.setWaitCallback(file, {}));
}

TEST(CleanUrl, AsABrowserCleansTypedText)
{
    EXPECT_EQ(cleanUrl("  http://h/a b\r\n"), "http://h/a%20b");
    EXPECT_EQ(cleanUrl("\thttp://h/x\ny\x01"), "http://h/xy");
    EXPECT_EQ(cleanUrl("http://h/\x7f"), "http://h/");
}

}  // namespace
