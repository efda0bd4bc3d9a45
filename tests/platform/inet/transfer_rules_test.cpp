#include "platform/inet/transfer_rules.h"

#include "platform/inet/http_headers.h"
#include "platform/inet/internet.h"

#include <gtest/gtest.h>

using namespace inet;

namespace {

TEST(TransferRules, AServerIsAHostWithAnOptionalPort)
{
    struct Case {
        const char* server;
        std::optional<std::pair<std::string, std::uint16_t>> address;
    };
    const Case cases[] = {
        {"update.velkora.example", {{"update.velkora.example", 0}}},
        {"127.0.0.1:48080", {{"127.0.0.1", 48080}}},
        {"[::1]:8080", {{"[::1]", 8080}}},
        {"[::1]", {{"[::1]", 0}}},
        {"host:65535", {{"host", 65535}}},
        {"", std::nullopt},
        {"https:", std::nullopt},
        {":80", std::nullopt},
        {"host:65536", std::nullopt},
        {"host:+80", std::nullopt},
        {"host:port:x", std::nullopt},
        {"a b", std::nullopt},
        {"user@host", std::nullopt},
        {"host/path", std::nullopt},
        {"[::1", std::nullopt},
        {"[::1]x", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto address = serverAddress(c.server, 0);
        ASSERT_EQ(address.has_value(), c.address.has_value()) << c.server;
        if (address) {
            EXPECT_EQ(address->host, c.address->first) << c.server;
            EXPECT_EQ(address->port, c.address->second) << c.server;
        }
    }
}

TEST(TransferRules, RedirectionsStayInTlsCarryCredentialsHomeOnlyAndEnd)
{
    const Origin https{"https", "update.example", 443};
    const Origin http{"http", "update.example", 80};
    EXPECT_TRUE(mayFollow(http, https, 1));
    EXPECT_TRUE(mayFollow(https, https, kMaxRedirects));
    EXPECT_FALSE(mayFollow(https, https, kMaxRedirects + 1));
    EXPECT_FALSE(mayFollow(https, http, 1));
    EXPECT_FALSE(mayFollow(http, Origin{"ftp", "update.example", 21}, 1));

    EXPECT_TRUE(carriesCredentials(https, Origin{"https", "UPDATE.example", 443}));
    EXPECT_FALSE(carriesCredentials(https, Origin{"https", "update.example", 8443}));
    EXPECT_FALSE(carriesCredentials(https, Origin{"https", "mirror.example", 443}));
    EXPECT_FALSE(carriesCredentials(http, https));

    const std::string block = "HTTP/1.1 302 Found\r\nLocation: /next\r\n";
    EXPECT_EQ(redirectionOf(302, block), "/next");
    EXPECT_EQ(redirectionOf(200, block), std::nullopt);
    EXPECT_EQ(redirectionOf(302, "HTTP/1.1 302 Found\r\nLocation: \r\n"), std::nullopt);
}

TEST(TransferRules, ARangeAnswerReachesThePositionOrIsRefused)
{
    struct Case {
        long status;
        const char* contentRange;
        RangeAnswer answer;
    };
    const Case cases[] = {
        {206, "bytes 3000-4999/5000", RangeAnswer::FromPosition},
        {206, "bytes 0-4999/5000", RangeAnswer::Refused},
        {206, nullptr, RangeAnswer::Refused},
        {416, "bytes */3000", RangeAnswer::NothingLeft},
        {416, "bytes */2999", RangeAnswer::Refused},
        {200, nullptr, RangeAnswer::WholeResource},
        {404, nullptr, RangeAnswer::Refused},
    };
    for (const Case& c : cases) {
        std::string block = "HTTP/1.1 " + std::to_string(c.status) + " X\r\n";
        if (c.contentRange)
            block += std::string("Content-Range: ") + c.contentRange + "\r\n";
        EXPECT_EQ(rangeAnswerOf(c.status, block, 3000), c.answer) << block;
    }
    // A 416 without its length (Apache, lighttpd) ends a file as long as the whole answer was.
    EXPECT_EQ(rangeAnswerOf(416, "HTTP/1.1 416 X\r\n", 3000, 3000), RangeAnswer::NothingLeft);
    EXPECT_EQ(rangeAnswerOf(416, "HTTP/1.1 416 X\r\n", 3000, 5000), RangeAnswer::Refused);
    EXPECT_EQ(rangeAnswerOf(416, "HTTP/1.1 416 X\r\n", 3000), RangeAnswer::Refused);
    // A 200 to a range that hung on the resource being unchanged: it changed.
    EXPECT_EQ(rangeAnswerOf(200, "HTTP/1.1 200 OK\r\n", 3000, 5000, true), RangeAnswer::Changed);

    EXPECT_EQ(rangeValidator("HTTP/1.1 200 OK\r\nETag: \"a1\"\r\nLast-Modified: Mon\r\n"), "\"a1\"");
    EXPECT_EQ(rangeValidator("HTTP/1.1 200 OK\r\nETag: W/\"a1\"\r\nLast-Modified: Mon\r\n"), "Mon");
    EXPECT_EQ(rangeValidator("HTTP/1.1 200 OK\r\n"), std::nullopt);
}

TEST(TransferRules, AnAnswerOfEveryVersionCurlSpeaksIsOne)
{
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"HTTP/1.1 200 OK\r\nA: b\r\n", 200},     {"HTTP/2 404\r\na: b\r\n", 404},
        {"HTTP/3 200\r\na: b\r\n", 200},          {"HTTP/1 200\r\nA: b\r\n", std::nullopt},
        {"HTTP/4 200\r\nA: b\r\n", std::nullopt}, {"HTTP/2 2000\r\nA: b\r\n", std::nullopt},
        {"HTTP/2 200\r\n\r\n", std::nullopt},
    };
    for (const auto& [block, status] : cases)
        EXPECT_EQ(answerStatus(block), status) << block;
}

TEST(TransferRules, AStallIsTheStallTimeWithTooFewBytesHoweverLongTheyFlowedBefore)
{
    using namespace std::chrono_literals;
    const Timeouts limits{30s, 60s, 60s, 60};
    const auto t0 = StallRule::Clock::time_point() + 1h;
    StallRule flowing(limits, t0);
    for (int second = 1; second <= 59; ++second)
        flowing.received(1000, t0 + std::chrono::seconds(second));
    EXPECT_FALSE(flowing.stalled(t0 + 59s + 59s));
    EXPECT_TRUE(flowing.stalled(t0 + 59s + 60s));  // a minute after the last bytes, not two

    StallRule trickling(limits, t0);
    for (int second = 2; second < 60; second += 2)
        trickling.received(1, t0 + std::chrono::seconds(second));
    EXPECT_TRUE(trickling.stalled(t0 + 60s));

    StallRule held(limits, t0);
    held.pause(30s);  // the host's time, a box it showed
    EXPECT_FALSE(held.stalled(t0 + 89s));
    EXPECT_EQ(held.left(t0 + 89s), 1s);
    EXPECT_TRUE(held.stalled(t0 + 90s));
}

TEST(TransferRules, ABodyIsAsLongAsASoundLengthSays)
{
    EXPECT_EQ(bodyLength("HTTP/1.1 200 OK\r\nContent-Length:  5000 \r\n"), 5000u);
    EXPECT_EQ(bodyLength("HTTP/1.1 200 OK\r\n"), std::nullopt);
    EXPECT_EQ(bodyLength("HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n"), std::nullopt);

    char buffer[4];
    std::uint32_t length = sizeof buffer;
    EXPECT_TRUE(copyAnswer("abc", buffer, length));
    EXPECT_EQ(length, 3u);
    EXPECT_STREQ(buffer, "abc");
    length = sizeof buffer;
    EXPECT_FALSE(copyAnswer("abcd", buffer, length));
    EXPECT_EQ(length, 5u);
}

}  // namespace
