#include "platform/inet/internet.h"

namespace inet {

namespace {

bool isControlOrSpace(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

}  // namespace

std::string cleanUrl(std::string_view url)
{
    while (!url.empty() && isControlOrSpace(static_cast<unsigned char>(url.front())))
        url.remove_prefix(1);
    while (!url.empty() && isControlOrSpace(static_cast<unsigned char>(url.back())))
        url.remove_suffix(1);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string cleaned;
    cleaned.reserve(url.size());
    for (const char raw : url) {
        const auto c = static_cast<unsigned char>(raw);
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        if (isControlOrSpace(c)) {
            cleaned += '%';
            cleaned += kHex[c >> 4];
            cleaned += kHex[c & 0xF];
            continue;
        }
        cleaned += raw;
    }
    return cleaned;
}

}  // namespace inet
