#include "platform/com/guid.h"

#include <cctype>
#include <cstdio>

namespace com {

std::string Guid::toString() const
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3,
                  data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6], data4[7]);
    return text;
}

std::optional<Guid> Guid::parse(std::string_view text)
{
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;
    std::string hex;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
        hex += text[i];
    }
    const auto bits = [&](std::size_t from, std::size_t count) {
        return static_cast<std::uint32_t>(std::stoul(hex.substr(from, count), nullptr, 16));
    };
    Guid guid;
    guid.data1 = bits(0, 8);
    guid.data2 = static_cast<std::uint16_t>(bits(8, 4));
    guid.data3 = static_cast<std::uint16_t>(bits(12, 4));
    for (std::size_t i = 0; i < 8; ++i)
        guid.data4[i] = static_cast<std::uint8_t>(bits(16 + 2 * i, 2));
    return guid;
}

}  // namespace com
