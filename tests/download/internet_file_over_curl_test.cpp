#include "download/internet_file.h"
#include "platform/inet/curl_internet.h"
#include "platform/runtime/text.h"
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

}  // namespace
