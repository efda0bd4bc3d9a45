// The ELF completeness check: what is whole stays whole with more bytes after it.
#include "platform/shell/elf_image.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto whole = [&](std::uint64_t length) {
        return shell::isWholeElfProgram(length, [&](std::uint64_t offset, std::span<std::byte> into) {
            if (offset > length || into.size() > length - offset)
                return false;
            for (std::size_t i = 0; i < into.size(); ++i)
                into[i] = offset + i < size ? std::byte{data[offset + i]} : std::byte{0};
            return true;
        });
    };
    if (whole(size))
        FUZZ_CHECK(whole(size + 4096));
    return 0;
}
