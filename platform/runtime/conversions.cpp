#include "platform/runtime/conversions.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace runtime {

namespace {

template <typename Int>
Int roundChecked(double value)
{
    // nearbyint rounds half to even in the default rounding mode, as the run-time's conversions do.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min())
          && rounded <= static_cast<double>(std::numeric_limits<Int>::max())))
        throw RuntimeError(error::kOverflow);
    return static_cast<Int>(rounded);
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

}  // namespace

std::optional<double> parseNumber(std::u16string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    if (begin == end)
        return std::nullopt;

    std::string ascii;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(text[i]);
    }

    if (ascii.size() > 2 && ascii[0] == '&' && (ascii[1] == 'H' || ascii[1] == 'h')) {
        std::uint32_t bits = 0;
        const auto* first = ascii.data() + 2;
        const auto* last = ascii.data() + ascii.size();
        const auto [ptr, ec] = std::from_chars(first, last, bits, 16);
        if (ec != std::errc() || ptr != last || ascii.size() > 10)
            return std::nullopt;
        // Up to four digits is a 16-bit value, more a 32-bit one; both are signed.
        if (ascii.size() <= 6)
            return static_cast<double>(static_cast<std::int16_t>(bits));
        return static_cast<double>(static_cast<std::int32_t>(bits));
    }

    std::size_t start = 0;
    bool negative = false;
    if (ascii[0] == '+' || ascii[0] == '-') {
        negative = ascii[0] == '-';
        start = 1;
    }
    // from_chars takes no leading '+', and must not see a second sign.
    if (start == ascii.size() || ascii[start] == '+' || ascii[start] == '-')
        return std::nullopt;
    double value = 0;
    const auto* first = ascii.data() + start;
    const auto* last = ascii.data() + ascii.size();
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ptr != last || (ec != std::errc() && ec != std::errc::result_out_of_range))
        return std::nullopt;
    if (ec == std::errc::result_out_of_range)
        throw RuntimeError(error::kOverflow);
    if (!std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

double toDouble(const Variant& value)
{
    using Kind = Variant::Kind;
    switch (value.kind()) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return value.get<Bool16>()->raw();
    case Kind::Integer: return *value.get<std::int16_t>();
    case Kind::Long: return *value.get<std::int32_t>();
    case Kind::Double: return *value.get<double>();
    case Kind::String: {
        const auto& text = *value.get<std::u16string>();
        if (const auto number = parseNumber(text))
            return *number;
        const auto trimmed = lowerCase(trimSpaces(text));
        if (trimmed == u"true")
            return -1;
        if (trimmed == u"false")
            return 0;
        throw RuntimeError(error::kTypeMismatch);
    }
    case Kind::Object: break;
    }
    throw RuntimeError(error::kTypeMismatch);
}

std::int16_t toInteger(double value)
{
    return roundChecked<std::int16_t>(value);
}

std::int32_t toLong(double value)
{
    return roundChecked<std::int32_t>(value);
}

std::int16_t toInteger(const Variant& value)
{
    return toInteger(toDouble(value));
}

std::int32_t toLong(const Variant& value)
{
    return toLong(toDouble(value));
}

Bool16 toBoolean(const Variant& value)
{
    return Bool16(toDouble(value) != 0);
}

std::u16string toText(const Variant& value)
{
    using Kind = Variant::Kind;
    switch (value.kind()) {
    case Kind::Empty: return {};
    case Kind::Boolean: return *value.get<Bool16>() == True ? u"True" : u"False";
    case Kind::Integer: return fromUtf8(std::to_string(*value.get<std::int16_t>()));
    case Kind::Long: return fromUtf8(std::to_string(*value.get<std::int32_t>()));
    case Kind::Double: {
        char buffer[32];
        const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, *value.get<double>());
        return fromUtf8(std::string_view(buffer, ec == std::errc() ? ptr - buffer : 0));
    }
    case Kind::String: return *value.get<std::u16string>();
    case Kind::Object: break;
    }
    throw RuntimeError(error::kTypeMismatch);
}

}  // namespace runtime
