#include "download/url_helpers.h"
#include "platform/runtime/runtime_error.h"

#include "tests/support/printable.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    std::u16string url;
    std::u16string host;
    std::u16string path;
};

void PrintTo(const SplitCase& c, std::ostream* out)
{
    *out << printable(c.url);
}

class SplitUrlTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitUrlTest, SplitsHostAndPath)
{
    std::u16string url = GetParam().url;
    std::u16string path = u"unchanged";
    url_helpers::SplitUrl(url, path);
    EXPECT_EQ(url, GetParam().host);
    EXPECT_EQ(path, GetParam().path);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, SplitUrlTest, testing::Values(
    SplitCase{u"http://host/lirvane/a.exe", u"host", u"/lirvane/a.exe"},
    SplitCase{u"host/a.txt", u"host", u"/a.txt"},
    SplitCase{u"http://host", u"host", u"unchanged"},
    SplitCase{u"https://host/a", u"https:", u"//host/a"},
    SplitCase{u"http://host:8080/a", u"host:8080", u"/a"},
    SplitCase{u"http:///x", u"", u"/x"},
    SplitCase{u"HTTP://host/a", u"HTTP:", u"//host/a"},
    SplitCase{u"http:/", u"http:", u"/"},
    SplitCase{u"", u"", u"unchanged"}));
// clang-format on

TEST(SplitUrl, SlashBeyond32767OverflowsAfterStrippingTheScheme)
{
    std::u16string url = u"http://" + std::u16string(32767, u'h') + u"/a";
    std::u16string path = u"kept";
    try {
        url_helpers::SplitUrl(url, path);
        FAIL() << "no overflow";
    } catch (const runtime::RuntimeError& error) {
        EXPECT_EQ(error.number(), 6);
    }
    EXPECT_EQ(url, std::u16string(32767, u'h') + u"/a");
    EXPECT_EQ(path, u"kept");

    std::u16string atLimit = std::u16string(32766, u'h') + u"/a";
    url_helpers::SplitUrl(atLimit, path);
    EXPECT_EQ(path, u"/a");
}

TEST(CutAtNull, TakesTheTextBeforeTheFirstNul)
{
    EXPECT_EQ(url_helpers::CutAtNull(std::u16string(u"200\0   ", 7)), u"200");
    EXPECT_EQ(url_helpers::CutAtNull(std::u16string(u"\0abc", 4)), u"");
    EXPECT_EQ(url_helpers::CutAtNull(std::u16string(u"a\0b\0", 4)), u"a");
    try {
        url_helpers::CutAtNull(u"no nul here");
        FAIL() << "no error";
    } catch (const runtime::RuntimeError& error) {
        EXPECT_EQ(error.number(), 5);
    }
}

}  // namespace
