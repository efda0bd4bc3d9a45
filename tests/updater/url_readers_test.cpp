#include "platform/inet/internet.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/support/test_http_server.h"
#include "updater/html_text.h"
#include "updater/url_readers.h"

#include <gtest/gtest.h>

namespace {

std::string nested(std::size_t depth, const std::string& inside)
{
    std::string page = "<html><body>";
    for (std::size_t i = 0; i < depth; ++i)
        page += "<div>";
    page += inside;
    for (std::size_t i = 0; i < depth; ++i)
        page += "</div>";
    return page + "</body></html>";
}

struct PageCase {
    std::string name;
    std::string page;
    bool hasBody;
    std::string text;
};

void PrintTo(const PageCase& c, std::ostream* out)
{
    *out << c.name;
}

class VisibleText : public testing::TestWithParam<PageCase> {};

TEST_P(VisibleText, IsWhatABrowserShows)
{
    const HtmlText page = visibleText(GetParam().page);
    EXPECT_EQ(page.hasBody, GetParam().hasBody);
    EXPECT_EQ(page.text, GetParam().text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, VisibleText, testing::Values(
    PageCase{"blocks, breaks and hidden parts",
             "<html><head><title>T</title><style>p{}</style></head><body><p>First  line</p>"
             "<script>var html = 1;</script><div>Second<br>third</div> <b>tail</b> <i>end</i></body></html>",
             true, "First line\r\nSecond\r\nthird\r\ntail end"},
    PageCase{"plain text", "plain text", true, "plain text"},
    PageCase{"no body", "<html><head><title>only a title</title></head></html>", true, ""},
    PageCase{"Turkish in UTF-8", "<p>Sürüm İki</p>", true, "Sürüm İki"},
    PageCase{"Turkish in Windows-1254", "<p>S\xFCr\xFCm \xDDki</p>", true, "Sürüm İki"},
    PageCase{"nested within the limit", nested(kMaxHtmlDepth - 3, "deep"), true, "deep"},
    PageCase{"nested beyond the limit", nested(kMaxHtmlDepth, "deep"), false, ""},
    // An update server, or whoever answers for it, must not hold the window with a page.
    PageCase{"nested a million deep", nested(1'000'000, "deep"), false, ""}));
// clang-format on

TEST(InternetInet1, DecodesUtf8OrWindows1254AndFailsWithoutAServerOrWithAnErrorPage)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply;
        reply.body = request.target == "/utf8" ? "Şimdi" : "\xDE\x69mdi";
        if (request.target == "/missing") {
            reply.status = 404;
            reply.reason = "Not Found";
        }
        return reply;
    });
    const auto internet = inet::systemInternet();
    InternetInet1 inet1(*internet);
    EXPECT_EQ(inet1.OpenURL(runtime::fromUtf8(server.url("/utf8")), {}), u"Şimdi");
    EXPECT_EQ(inet1.OpenURL(runtime::fromUtf8(server.url("/1254")), {}), u"Şimdi");
    EXPECT_THROW(inet1.OpenURL(runtime::fromUtf8(server.url("/missing")), {}), runtime::RuntimeError);

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
    const auto internet = inet::systemInternet();
    HtmlBrowser browser(*internet);
    EXPECT_THROW(browser.DocumentBodyInnerText(), runtime::RuntimeError);
    browser.Navigate(u" " + runtime::fromUtf8(server.url("/page")) + u" ", {});
    EXPECT_EQ(browser.DocumentBodyInnerText(), u"Sürüm\r\n2.0");
}

}  // namespace

namespace {

TEST(InternetReleaseFileReader, TakesOnlyASuccessfulAnswerOfASignatureSize)
{
    TestHttpServer server([](const HttpRequest& request) {
        HttpReply reply;
        reply.body = request.target == "/big" ? std::string(5000, 's') : "untrusted comment: x\n";
        if (request.target == "/error")
            reply.status = 500;
        return reply;
    });
    const auto internet = inet::systemInternet();
    InternetReleaseFileReader reader(*internet);
    EXPECT_EQ(reader.read(runtime::fromUtf8(server.url("/good")), {}), "untrusted comment: x\n");
    EXPECT_EQ(reader.read(runtime::fromUtf8(server.url("/error")), {}), std::nullopt);
    EXPECT_EQ(reader.read(runtime::fromUtf8(server.url("/big")), {}), std::nullopt);
}

}  // namespace
