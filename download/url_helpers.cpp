#include "download/url_helpers.h"

#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

namespace url_helpers {

void SplitUrl(std::u16string& url, std::u16string& path)
{
    if (url.size() >= 7 && url.compare(0, 7, u"http://") == 0)
        url.erase(0, 7);
    // The position is held in 16 bits, so a "/" beyond 32,767 overflows it.
    const std::int16_t position = runtime::toInteger(static_cast<double>(runtime::findText(url, u"/")));
    if (position > 0) {
        path = url.substr(static_cast<std::size_t>(position) - 1);
        url.erase(static_cast<std::size_t>(position) - 1);
    }
}

std::u16string CutAtNull(const std::u16string& text)
{
    const auto position = runtime::findText(text, std::u16string_view(u"\0", 1));
    if (position == 0)
        throw runtime::RuntimeError(runtime::error::kInvalidProcedureCall);
    return text.substr(0, position - 1);
}

}  // namespace url_helpers
