#include "platform/inet/http_headers.h"

#include <cctype>
#include <charconv>
#include <cstdint>

namespace inet {

namespace {

bool sameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The decimal number that `text` starts with, and where it ends.
std::optional<std::int64_t> leadingNumber(std::string_view text, std::string_view& rest)
{
    // Digits only: from_chars would take a minus sign ("-0" is 0).
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc())
        return std::nullopt;
    rest = text.substr(static_cast<std::size_t>(end - text.data()));
    return value;
}

}  // namespace

std::optional<std::string> headerValue(std::string_view block, std::string_view name)
{
    while (!block.empty()) {
        const auto end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        if (line.size() > name.size() && line[name.size()] == ':' && sameNoCase(line.substr(0, name.size()), name)) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            return std::string(value);
        }
        if (end == std::string_view::npos)
            break;
        block.remove_prefix(end + 2);
    }
    return std::nullopt;
}

bool contentLengthIsSound(std::string_view block)
{
    std::optional<std::string_view> first;
    while (!block.empty()) {
        const auto end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        constexpr std::string_view kName = "content-length:";
        if (line.size() >= kName.size() && sameNoCase(line.substr(0, kName.size()), kName)) {
            std::string_view value = line.substr(kName.size());
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.remove_suffix(1);
            std::uint64_t length = 0;
            if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos
                || std::from_chars(value.data(), value.data() + value.size(), length).ec != std::errc()
                || length > static_cast<std::uint64_t>(INT64_MAX) || (first && *first != value))
                return false;
            first = value;
        }
        if (end == std::string_view::npos)
            break;
        block.remove_prefix(end + 2);
    }
    return true;
}

std::optional<int> answerStatus(std::string_view block)
{
    const auto end = block.find("\r\n");
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view line = block.substr(0, end);
    const auto digit = [&](std::size_t i) { return i < line.size() && line[i] >= '0' && line[i] <= '9'; };
    // The version: "HTTP/D.D", or "HTTP/2" and "HTTP/3", which have no minor number.
    std::size_t code = 9;
    if (line.starts_with("HTTP/2 ") || line.starts_with("HTTP/3 "))
        code = 7;
    else if (line.size() < 9 || line.substr(0, 5) != "HTTP/" || !digit(5) || line[6] != '.' || !digit(7)
             || line[8] != ' ')
        return std::nullopt;
    if (!digit(code) || !digit(code + 1) || !digit(code + 2) || (line.size() > code + 3 && line[code + 3] != ' '))
        return std::nullopt;
    const int status = (line[code] - '0') * 100 + (line[code + 1] - '0') * 10 + (line[code + 2] - '0');
    // A header line follows: the block goes on past the status line's end with more than the
    // block's own end.
    const std::string_view headers = block.substr(end + 2);
    if (status < 100 || status > 599 || headers.empty() || headers.starts_with("\r\n"))
        return std::nullopt;
    return status;
}

std::optional<std::string> rangeValidator(std::string_view block)
{
    // A weak ETag ("W/...") names equal content, not equal bytes: a range may not hang on it.
    if (auto tag = headerValue(block, "ETag"); tag && tag->starts_with('"'))
        return tag;
    if (auto date = headerValue(block, "Last-Modified"); date && !date->empty())
        return date;
    return std::nullopt;
}

std::optional<std::int64_t> contentRangeStart(std::string_view contentRange)
{
    constexpr std::string_view kUnit = "bytes ";
    if (!contentRange.starts_with(kUnit))
        return std::nullopt;
    std::string_view rest;
    const auto start = leadingNumber(contentRange.substr(kUnit.size()), rest);
    if (!start || !rest.starts_with('-'))
        return std::nullopt;
    return start;
}

std::optional<std::int64_t> unsatisfiedRangeLength(std::string_view contentRange)
{
    constexpr std::string_view kUnsatisfied = "bytes */";
    if (!contentRange.starts_with(kUnsatisfied))
        return std::nullopt;
    std::string_view rest;
    const auto length = leadingNumber(contentRange.substr(kUnsatisfied.size()), rest);
    if (!length || !rest.empty())
        return std::nullopt;
    return length;
}

}  // namespace inet
