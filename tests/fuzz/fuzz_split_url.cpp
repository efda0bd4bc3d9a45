// SplitUrl and CutAtNull: the host and path give back the URL without its "http://".
#include "download/url_helpers.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string input = runtime::fromUtf8(bytesOf(data, size));
    const std::u16string stripped = input.starts_with(u"http://") ? input.substr(7) : input;
    std::u16string host = input;
    std::u16string path = u"unchanged";
    try {
        url_helpers::SplitUrl(host, path);
        const auto slash = stripped.find(u'/');
        FUZZ_CHECK(slash == std::u16string::npos ? host == stripped && path == u"unchanged"
                                                 : host + path == stripped && host.find(u'/') == std::u16string::npos);
    } catch (const runtime::RuntimeError& error) {
        FUZZ_CHECK(error.number() == 6 && stripped.find(u'/') > 32766);
    }
    try {
        FUZZ_CHECK(url_helpers::CutAtNull(input) == input.substr(0, input.find(u'\0')));
    } catch (const runtime::RuntimeError& error) {
        FUZZ_CHECK(error.number() == 5 && input.find(u'\0') == std::u16string::npos);
    }
    return 0;
}
