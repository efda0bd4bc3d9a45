#include "download/internet_file.h"
#include "platform/inet/internet.h"
#include "platform/runtime/text.h"
#include "tests/support/error_of.h"
#include "tests/support/recording_site.h"
#include "tests/support/test_http_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// The control on the system's internet layer (libcurl or WinINet) against the scripted server.
class InternetFileOverTheNetwork : public testing::Test {
protected:
    InternetFileOverTheNetwork()
    {
        m_dir = fs::temp_directory_path() / ("over_curl_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        control.setSite(&site);
        control.initNew();
        control.setLocalFile(runtime::fromUtf8((m_dir / "down.exe").string()));
    }
    ~InternetFileOverTheNetwork() override { fs::remove_all(m_dir); }

    std::string local() const
    {
        std::ifstream in(m_dir / "down.exe", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_dir;
    std::vector<std::string> log;
    std::unique_ptr<inet::Internet> owned =
        inet::systemInternet(inet::Timeouts{std::chrono::milliseconds(5000), std::chrono::milliseconds(500)});
    inet::Internet& internet = *owned;
    RecordingSite site{log};
    InternetFile control{internet, [] {}};
};

TEST_F(InternetFileOverTheNetwork, AnErrorAnswerIsNoFileAndTouchesNoneHeld)
{
    struct Case {
        int status;
        const char* reason;
        bool exists;  // as the information request tells it
    };
    for (const Case& c : {Case{404, "Not Found", false}, Case{410, "Gone", false}, Case{404, "File Not Found", false},
                          Case{500, "Internal Server Error", true}, Case{407, "Proxy Authentication Required", true}}) {
        TestHttpServer server([&](const HttpRequest&) {
            HttpReply reply;
            reply.status = c.status;
            reply.reason = c.reason;
            reply.body = "<html>no such file</html>";
            return reply;
        });
        control.setUrl(runtime::fromUtf8(server.url("/lirvane/none.exe")));
        fs::remove(m_dir / "down.exe");
        log.clear();
        control.StartDownload();
        EXPECT_EQ(log, std::vector<std::string>{"DownloadError Could not find Url"}) << c.status;
        EXPECT_FALSE(fs::exists(m_dir / "down.exe")) << c.status;
        control.RequestInformation();
        EXPECT_EQ(control.FileExists(), c.exists ? runtime::True : runtime::False) << c.status;

        std::ofstream(m_dir / "down.exe", std::ios::binary) << "held";
        control.ResumeDownload();
        EXPECT_EQ(local(), "held") << c.status;
    }
    // As after any "Could not find Url", the session alone stays open for the next download.
    EXPECT_EQ(internet.openHandleCount(), 1u);
    EXPECT_NE(control.sessionHandle(), 0u);
}

TEST_F(InternetFileOverTheNetwork, DroppedConnectionIsCouldNotReadUrlWithThePartialBytesKept)
{
    const std::string body(10000, 'z');
    // Cut off with a length, and without one (the body then ends where the connection does, as
    // a relay gives it to HTTP/1.0): the size the information request gave tells the cut.
    for (const bool withLength : {true, false}) {
        TestHttpServer server([&](const HttpRequest& request) {
            HttpReply reply = HttpReply::file(request, body);
            if (request.method == "GET") {
                reply.dropAfter = 4096 + 100;
                reply.sendContentLength = withLength;
            }
            return reply;
        });
        control.setUrl(runtime::fromUtf8(server.url("/a.exe")));
        control.RequestInformation();
        control.StartDownload();
        EXPECT_EQ(log.back(), "DownloadError Could not read Url") << withLength;
        EXPECT_EQ(local(), body.substr(0, 4196)) << withLength;
        EXPECT_EQ(internet.openHandleCount(), 0u);
    }

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

TEST_F(InternetFileOverTheNetwork, SizeAndDateComeFromTheHeadRequest)
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
    std::unique_ptr<inet::Internet> owned = inet::systemInternet(inet::Timeouts{
        std::chrono::milliseconds(30'000), std::chrono::milliseconds(30'000), std::chrono::milliseconds(600)});
    inet::Internet& internet = *owned;
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

TEST_F(InternetFileOverTheNetwork, TurkishLettersOfAFileNameGoAsUtf8WhateverTheCodePage)
{
    TestHttpServer server([](const HttpRequest& request) { return HttpReply::file(request, "new"); });
    control.setUrl(runtime::fromUtf8(server.url("/lirvane/Sürüm Şubat.exe")));
    control.StartDownload();
    EXPECT_EQ(log.back(), "DownloadComplete");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const HttpRequest& request : requests)
        EXPECT_EQ(request.target, "/lirvane/S%C3%BCr%C3%BCm%20%C5%9Eubat.exe") << request.method;
}

TEST_F(InternetFileOverTheNetwork, MalformedLengthsReachTheInformationParser)
{
    for (const auto& [length, infoError, fileSize] :
         std::vector<std::tuple<std::string, int, std::int32_t>>{{"abc", 13, 0},
                                                                 {"-5", 0, -5},
                                                                 {"1e3", 0, 1000},
                                                                 {"12.5", 0, 12},
                                                                 {" 5000 ", 0, 5000}}) {
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

class HostileAnswers : public InternetFileOverTheNetwork, public testing::WithParamInterface<HostileAnswer> {};

TEST_P(HostileAnswers, EndTheDownloadWithoutHarmingTheLocalFile)
{
    TestHttpServer server([](const HttpRequest& request) {
        return request.method == "HEAD" ? HttpReply::file(request, "x") : GetParam().reply(request);
    });
    const auto owner = inet::systemInternet(inet::Timeouts{
        std::chrono::milliseconds(5000), std::chrono::milliseconds(500), std::chrono::milliseconds(600), 10});
    inet::Internet& impatient = *owner;
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

// clang-format off
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
    HostileAnswer{"a header line of a MiB, and no end of the headers",
                  [](const HttpRequest&) {
                      HttpReply reply;
                      reply.headers.emplace_back("X-Long", std::string(1024 * 1024, 'h'));
                      reply.dripHeaders = std::chrono::hours(1);
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
// clang-format on

TEST_F(InternetFileOverTheNetwork, ARedirectWithoutALocationIsTheAnswer)
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

TEST_F(InternetFileOverTheNetwork, ACancelGivesUpEveryWaitAndEndsAsTheCancel)
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

}  // namespace
