#include "platform/inet/curl_internet.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/support/test_http_server.h"
#include "updater/signature_reader.h"
#include "updater/url_readers.h"

#include <gtest/gtest.h>

namespace {

TEST(VisibleText, TakesWhatABrowserShows)
{
    const HtmlText page = visibleText(
        "<html><head><title>T</title><style>p{}</style></head><body><p>First  line</p>"
        "<script>var html = 1;</script><div>Second<br>third</div> tail</body></html>");
    EXPECT_TRUE(page.hasBody);
    EXPECT_EQ(page.text, "First line\r\nSecond\r\nthird\r\ntail");
    EXPECT_EQ(visibleText("plain text").text, "plain text");
}

TEST(InternetInet1, DecodesUtf8OrWindows1254AndFailsWithoutAServer)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply;
        reply.body = request.target == "/utf8" ? "Şimdi" : "\xDE\x69mdi";
        return reply;
    });
    inet::CurlInternet internet;
    InternetInet1 inet1(internet);
    EXPECT_EQ(inet1.OpenURL(runtime::fromUtf8(server.url("/utf8")), {}), u"Şimdi");
    EXPECT_EQ(inet1.OpenURL(runtime::fromUtf8(server.url("/1254")), {}), u"Şimdi");

    std::uint16_t closed = 0;
    {
        TestHttpServer gone([](const HttpRequest&) { return HttpReply{}; });
        closed = gone.port();
    }
    EXPECT_THROW(inet1.OpenURL(u"http://127.0.0.1:" + runtime::fromUtf8(std::to_string(closed)) + u"/", {}),
                 runtime::RuntimeError);
}

TEST(HtmlBrowser, NavigateLoadsThePageAndItsBodyText)
{
    TestHttpServer server([](const HttpRequest&) {
        HttpReply reply;
        reply.body = "<html><body><h1>Sürüm</h1><p>2.0</p></body></html>";
        return reply;
    });
    inet::CurlInternet internet;
    HtmlBrowser browser(internet);
    EXPECT_THROW(browser.DocumentBodyInnerText(), runtime::RuntimeError);
    browser.Navigate(u" " + runtime::fromUtf8(server.url("/page")) + u" ", {});
    EXPECT_EQ(browser.DocumentBodyInnerText(), u"Sürüm\r\n2.0");
}

}  // namespace

namespace {

TEST(InternetSignatureReader, TakesOnlyASuccessfulAnswerOfASignatureSize)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply;
        reply.body = request.target == "/big" ? std::string(5000, 's') : "untrusted comment: x\n";
        if (request.target == "/error")
            reply.status = 500;
        return reply;
    });
    inet::CurlInternet internet;
    InternetSignatureReader reader(internet);
    EXPECT_EQ(reader.read(runtime::fromUtf8(server.url("/good")), {}), "untrusted comment: x\n");
    EXPECT_EQ(reader.read(runtime::fromUtf8(server.url("/error")), {}), std::nullopt);
    EXPECT_EQ(reader.read(runtime::fromUtf8(server.url("/big")), {}), std::nullopt);
}

}  // namespace
