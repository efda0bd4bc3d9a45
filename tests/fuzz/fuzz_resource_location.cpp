// The resource locations a registration names: a module and a number read from "MODULE\N" or
// "MODULE, N" are exactly the text's two parts.
#include "platform/com/module_resources.h"
#include "tests/fuzz/fuzz_check.h"

#include <charconv>
#include <string>

namespace {

bool spells(std::string_view digits, std::uint32_t id)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && error == std::errc() && end == digits.data() + digits.size() && value == id;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = bytesOf(data, size);
    if (const auto library = com::typeLibraryLocation(text)) {
        const std::string module = library->module.string();
        FUZZ_CHECK(!module.empty() && text.starts_with(module + "\\")
                   && spells(text.substr(module.size() + 1), library->id));
    }
    if (const auto bitmap = com::bitmapLocation(text)) {
        const std::string module = bitmap->module.string();
        FUZZ_CHECK(!module.empty() && text.starts_with(module + ", ")
                   && spells(text.substr(module.size() + 2), bitmap->id));
    }
    return 0;
}
