#include "download/internet_file.h"
#include "platform/inet/curl_internet.h"
#include "platform/runtime/text.h"
#include "tests/support/error_of.h"
#include "tests/support/recording_site.h"
#include "tests/support/test_http_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

TEST_F(InternetFileOverCurl, MalformedLengthsReachTheParserAndNeverShortenADownload)
{
    struct Case {
        std::string length;
        int infoError;                    // of RequestInformation
        std::int32_t fileSize;            // when it raises none
        std::string ending;               // of a download
    };
    for (const Case& c : std::vector<Case>{{"abc", 13, 0, ""},
                                           {"-5", 0, -5, "DownloadError Could not read Url"},
                                           {"1e3", 0, 1000, "DownloadError Could not read Url"},
                                           {"12.5", 0, 12, "DownloadError Could not read Url"},
                                           {" 5000 ", 0, 5000, "DownloadComplete"}}) {
        TestHttpServer server([&](const HttpRequest& request) { return withContentLength(request, c.length); });
        PatientControl info(server.url("/a.exe"));
        EXPECT_EQ(errorOf([&] { info.control.RequestInformation(); }), c.infoError) << c.length;
        if (c.infoError != 0)
            continue;
        EXPECT_EQ(info.control.FileSize(), c.fileSize) << c.length;

        log.clear();
        control.setUrl(runtime::fromUtf8(server.url("/a.exe")));
        control.StartDownload();
        EXPECT_EQ(log.back(), c.ending) << c.length;
        EXPECT_EQ(internet.openHandleCount(), 0u);
    }
}

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

TEST_F(InternetFileOverCurl, HeadersDrippedWithoutEndFailAtTheHeaderLimit)
{
    TestHttpServer dripping([](const HttpRequest&) {
        HttpReply reply;
        reply.dripHeaders = std::chrono::milliseconds(50);
        return reply;
    });
    PatientControl patient(dripping.url("/a.exe"));
    patient.control.RequestInformation();
    EXPECT_EQ(patient.control.FileExists(), runtime::False);
    EXPECT_EQ(patient.control.FileSize(), -1);
    patient.control.setLocalFile(runtime::fromUtf8((m_dir / "drip.exe").string()));
    patient.control.StartDownload();
    EXPECT_EQ(patient.log.back(), "DownloadError Could not read Url");
}

}  // namespace
