#include "platform/inet/transfer_rules.h"

#include "platform/inet/http_headers.h"
#include "platform/inet/internet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace inet {

namespace {

bool sameNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::optional<ServerAddress> serverAddress(std::string_view server, std::uint16_t port)
{
    if (server.empty() || server.find_first_of("/\\@?# \t\r\n") != std::string_view::npos)
        return std::nullopt;
    // An IPv6 address is bracketed; any other host holds no colon.
    std::size_t hostEnd = std::min(server.find(':'), server.size());
    if (server.front() == '[') {
        const auto close = server.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        hostEnd = close + 1;
    }
    const std::string_view host = server.substr(0, hostEnd);
    if (host.empty())
        return std::nullopt;
    std::string_view rest = hostEnd < server.size() ? server.substr(hostEnd) : std::string_view();
    if (!rest.empty()) {
        if (rest.front() != ':')
            return std::nullopt;
        rest.remove_prefix(1);
        unsigned value = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (rest.empty() || rest.size() > 5 || rest.front() == '+' || error != std::errc()
            || end != rest.data() + rest.size() || value > 65535)
            return std::nullopt;
        port = static_cast<std::uint16_t>(value);
    }
    return ServerAddress{std::string(host), port};
}

std::optional<std::string> redirectionOf(long status, std::string_view headerBlock)
{
    if (status < 300 || status >= 400)
        return std::nullopt;
    auto location = headerValue(headerBlock, "Location");
    if (!location || location->empty())
        return std::nullopt;
    return location;
}

bool mayFollow(const Origin& first, const Origin& next, long redirects)
{
    if (next.scheme != "http" && next.scheme != "https")
        return false;
    return redirects <= kMaxRedirects && !(first.scheme == "https" && next.scheme != "https");
}

bool carriesCredentials(const Origin& first, const Origin& to)
{
    return first.scheme == to.scheme && sameNoCase(first.host, to.host) && first.port == to.port;
}

RangeAnswer rangeAnswerOf(long status, std::string_view headerBlock, std::int64_t from,
                          std::optional<std::uint64_t> wholeLength, bool ifRange)
{
    const auto contentRange = headerValue(headerBlock, "Content-Range");
    switch (status) {
    case 206:
        return contentRange && contentRangeStart(*contentRange) == from ? RangeAnswer::FromPosition
                                                                        : RangeAnswer::Refused;
    case 416: {
        // Apache and lighttpd say it without the length: then the length the whole answer gave.
        const auto length = contentRange  ? unsatisfiedRangeLength(*contentRange)
                            : wholeLength ? std::optional<std::int64_t>(*wholeLength)
                                          : std::nullopt;
        return length == from ? RangeAnswer::NothingLeft : RangeAnswer::Refused;
    }
    case 200: return ifRange ? RangeAnswer::Changed : RangeAnswer::WholeResource;
    default: return RangeAnswer::Refused;
    }
}

std::optional<std::int64_t> requestedRangeStart(std::string_view headers)
{
    const auto range = headerValue(headers, "Range");
    constexpr std::string_view kUnit = "bytes=";
    if (!range || !range->starts_with(kUnit) || !range->ends_with('-'))
        return std::nullopt;
    std::int64_t start = 0;
    const char* first = range->data() + kUnit.size();
    const char* last = range->data() + range->size() - 1;
    const auto [end, error] = std::from_chars(first, last, start);
    if (error != std::errc() || end != last || first == last || *first == '-')
        return std::nullopt;
    return start;
}

void StallRule::restart(Clock::time_point now)
{
    m_windowStart = now;
    m_windowBytes = 0;
}

void StallRule::received(std::uint64_t bytes, Clock::time_point now)
{
    m_windowBytes += bytes;
    if (m_windowBytes >= std::max<std::uint64_t>(m_timeouts.stallBytes, 1))
        restart(now);
}

std::optional<std::uint64_t> bodyLength(std::string_view headerBlock)
{
    const auto length = headerValue(headerBlock, "Content-Length");
    if (!length || !contentLengthIsSound(headerBlock))
        return std::nullopt;
    std::string_view digits = *length;
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t'))
        digits.remove_suffix(1);
    std::uint64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

bool copyAnswer(std::string_view text, std::span<char> buffer, std::uint32_t& length)
{
    const std::size_t room = std::min<std::size_t>(length, buffer.size());
    if (text.size() + 1 > room) {
        length = static_cast<std::uint32_t>(text.size() + 1);
        return false;
    }
    std::memcpy(buffer.data(), text.data(), text.size());
    buffer[text.size()] = '\0';
    length = static_cast<std::uint32_t>(text.size());
    return true;
}

}  // namespace inet
