// The HTML visible-text reader: no body, no text; the text never ends in a line break.
#include "tests/fuzz/fuzz_check.h"
#include "updater/html_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const HtmlText text = visibleText(std::string(bytesOf(data, size)));
    FUZZ_CHECK(text.hasBody || text.text.empty());
    FUZZ_CHECK(text.text.empty() || (text.text.back() != '\n' && text.text.back() != '\r'));
    return 0;
}
