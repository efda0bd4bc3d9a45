// The internet layer's own header readers: a value found is the text of a line that names the
// header, and a range start or length found is the number its header spells out.
#include "platform/inet/http_headers.h"
#include "tests/fuzz/fuzz_check.h"

#include <charconv>
#include <string>

namespace {

// True when `digits` is a decimal number (leading zeros allowed) of the value `number`.
bool spells(std::string_view digits, std::int64_t number)
{
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && digits.front() != '-' && error == std::errc() && end == digits.data() + digits.size()
           && value == number;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = bytesOf(data, size);
    if (const auto value = inet::headerValue(text, "Content-Range")) {
        FUZZ_CHECK(value->find("\r\n") == std::string::npos);
        FUZZ_CHECK(text.find(*value) != std::string_view::npos);
    }
    if (const auto start = inet::contentRangeStart(text)) {
        const auto dash = text.find('-');
        FUZZ_CHECK(text.starts_with("bytes ") && dash != std::string_view::npos
                   && spells(text.substr(6, dash - 6), *start));
    }
    if (const auto length = inet::unsatisfiedRangeLength(text))
        FUZZ_CHECK(text.starts_with("bytes */") && spells(text.substr(8), *length));
    return 0;
}
