// The HTML visible-text reader: no body, no text; the text never ends in a line break. With
// the first byte's high bit set the page is put inside more than kMaxHtmlDepth elements: it
// then has no body to read, whatever follows, and the answer still comes at once.
#include "tests/fuzz/fuzz_check.h"
#include "updater/html_text.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool deep = (data[0] & 0x80) != 0;
    std::string page;
    if (deep) {
        for (std::size_t i = 0; i < kMaxHtmlDepth + (data[0] & 0x7F); ++i)
            page += "<div>";
    }
    page += bytesOf(data + 1, size - 1);
    const HtmlText text = visibleText(page);
    FUZZ_CHECK(text.hasBody || text.text.empty());
    FUZZ_CHECK(text.text.empty() || (text.text.back() != '\n' && text.text.back() != '\r'));
    FUZZ_CHECK(!deep || !text.hasBody);
    return 0;
}
