// URL cleaning: what is left has no blank or control character, and cleaning again changes nothing.
#include "platform/inet/internet_posix.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string cleaned = inet::cleanUrl(bytesOf(data, size));
    for (const char c : cleaned)
        FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
    FUZZ_CHECK(inet::cleanUrl(cleaned) == cleaned);
    return 0;
}
