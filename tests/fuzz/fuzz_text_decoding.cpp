// UTF-8 and Windows-1254: valid UTF-8 comes back byte for byte; every 1254 byte is one character.
#include "platform/runtime/text.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = bytesOf(data, size);
    const std::string again = runtime::toUtf8(runtime::fromUtf8(bytes));
    FUZZ_CHECK(runtime::isValidUtf8(again));
    if (runtime::isValidUtf8(bytes))
        FUZZ_CHECK(again == bytes);
    FUZZ_CHECK(runtime::fromWindows1254(bytes).size() == size);
    return 0;
}
