// The window layout loader: what reads depends on the JSON alone, not on how it is written.
#include "tests/fuzz/fuzz_check.h"
#include "updater/window_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = bytesOf(data, size);
    std::string error;
    const auto layout = parseWindowLayout(text, error);
    FUZZ_CHECK(layout.has_value() == error.empty());
    if (!layout)
        return 0;
    const auto again = parseWindowLayout(nlohmann::json::parse(text).dump(), error);
    FUZZ_CHECK(again && *again == *layout);
    return 0;
}
