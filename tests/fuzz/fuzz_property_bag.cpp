// A control's load from its container's property bag: what loads, saves and loads the same.
#include "download/internet_file.h"
#include "platform/inet/internet_posix.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::u16string names[] = {u"LocalFile",    u"Url",       u"Port",        u"SiteUser",
                                           u"SitePassword", u"ProxyPort", u"ProxyServer", u"ConnectType"};
    std::vector<controls::PropertyBag::Entry> entries;
    for (std::size_t i = 0; i + 2 <= size; i += 2 + data[i + 1] % 8) {
        const std::u16string text =
            runtime::fromUtf8(bytesOf(data + i + 2, std::min<std::size_t>(size - i - 2, data[i + 1] % 8)));
        const runtime::Variant values[] = {text, std::int32_t(data[i + 1] * 300 - 30000), double(data[i + 1]) / 7,
                                           runtime::Bool16(data[i + 1] & 1), runtime::Variant()};
        entries.emplace_back(names[data[i] % 8], values[data[i] / 8 % 5]);
    }
    inet::CurlInternet internet;
    InternetFile first(internet, [] {}), second(internet, [] {});
    try {
        first.load(controls::PropertyBag(entries));
    } catch (const runtime::RuntimeError& error) {
        FUZZ_CHECK(error.number() == 6 || error.number() == 13);
        return 0;
    }
    controls::PropertyBag saved, again;
    first.save(saved);
    second.load(saved);
    second.save(again);
    FUZZ_CHECK(saved.entries() == again.entries());
    return 0;
}
