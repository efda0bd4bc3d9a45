// The information request's parse of a raw header block: the three values or its run-time error.
#include "download/information_parse.h"
#include "platform/inet/http_headers.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string headers = runtime::fromUtf8(bytesOf(data, size));
    internet_file::Information values;
    try {
        internet_file::parseInformation(headers, values, [] {});
        const auto status = inet::answerStatus(runtime::toAnsi(headers));
        FUZZ_CHECK((values.FileExists == runtime::False)
                   == (headers.find(u"HTTP/1.1 404 File Not Found") != std::u16string::npos || status == 404
                       || status == 410));
    } catch (const runtime::RuntimeError& error) {
        FUZZ_CHECK(error.number() == 5 || error.number() == 6 || error.number() == 13);
    }
    FUZZ_CHECK(values.LastModified.find(u"\r\n") == std::u16string::npos);
    return 0;
}
