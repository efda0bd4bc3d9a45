// The run-time's conversions of texts to numbers: a number read is the number converted.
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "tests/fuzz/fuzz_check.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string text = runtime::fromUtf8(bytesOf(data, size));
    std::optional<double> number;
    try {
        number = runtime::parseNumber(text);
    } catch (const runtime::RuntimeError& error) {
        FUZZ_CHECK(error.number() == 6);
    }
    try {
        const std::int32_t converted = runtime::toLong(runtime::Variant(text));
        FUZZ_CHECK(!number || static_cast<double>(converted) == std::nearbyint(*number));
    } catch (const runtime::RuntimeError& error) {
        FUZZ_CHECK(error.number() == 6 || (error.number() == 13 && !number));
    }
    return 0;
}
