// The registration store's parse: a store written and read again is the same.
#include "platform/com/registry.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto store = com::Registry::parse(bytesOf(data, size));
    if (!store)
        return 0;
    const auto again = com::Registry::parse(store->text());
    FUZZ_CHECK(again && again->text() == store->text());
    return 0;
}
