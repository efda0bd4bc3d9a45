// The registration store's GUID reader: what it reads is written back in its one canonical
// form, and that form reads as the same GUID.
#include "platform/com/com.h"
#include "tests/fuzz/fuzz_check.h"

#include <cctype>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = bytesOf(data, size);
    const auto guid = com::Guid::parse(text);
    if (!guid)
        return 0;
    const std::string canonical = guid->toString();
    FUZZ_CHECK(com::Guid::parse(canonical) == guid);
    std::string upper(text.size() == 36 ? "{" + std::string(text) + "}" : std::string(text));
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    FUZZ_CHECK(upper == canonical);
    return 0;
}
