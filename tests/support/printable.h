#pragma once

#include "platform/runtime/text.h"

#include <string>
#include <string_view>

// A text as it reads in a test's name: line breaks as "|", other control characters as
// "\xNN", and at most 48 characters of it.
inline std::string printable(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t i = 0; i < text.size() && shown.size() < 48; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            shown += '|';
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 0xF];
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown.empty() ? std::string("(empty)") : shown;
}

inline std::string printable(std::u16string_view text)
{
    return printable(runtime::toUtf8(text));
}
