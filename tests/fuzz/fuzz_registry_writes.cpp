// The registration store's write path: any sequence of values set is written as a text that
// reads back as the same store, holding every value that was taken.
#include "platform/com/registry.h"
#include "tests/fuzz/fuzz_check.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Each 0x00 ends a field; three fields make a value (key, name, text).
    std::vector<std::string> fields(1);
    for (const char c : bytesOf(data, size)) {
        if (c == '\0')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    auto store = com::Registry::parse("");
    std::map<std::pair<std::string, std::string>, std::string> taken;
    for (std::size_t i = 0; i + 2 < fields.size(); i += 3) {
        std::string key = fields[i];
        for (auto& c : key)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (store->setValue(fields[i], fields[i + 1], fields[i + 2]))
            taken[{key, fields[i + 1]}] = fields[i + 2];
    }
    const auto again = com::Registry::parse(store->text());
    FUZZ_CHECK(again && again->text() == store->text());
    for (const auto& [where, value] : taken)
        FUZZ_CHECK(again->value(where.first, where.second) == value);
    return 0;
}
