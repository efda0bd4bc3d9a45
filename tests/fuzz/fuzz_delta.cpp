// The decoder of a release's smaller forms, fed damaged patches against a real old program (the
// system's /usr/bin/true, from whose copies delta.seeds makes the seeds): never more than the
// cap, never a crash, whatever the frame holds.
#include "tests/fuzz/fuzz_check.h"
#include "updater/delta.h"

#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::string& oldProgram()
{
    static const std::string program = [] {
        std::ifstream in("/usr/bin/true", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return program;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view frame = bytesOf(data, size);
    const std::uint64_t cap = delta::maxRebuiltSize(oldProgram().size());
    const auto patched = delta::decode(frame, oldProgram(), cap);
    FUZZ_CHECK(!patched || patched->size() <= cap);
    const auto compressed = delta::decode(frame, std::nullopt, cap);
    FUZZ_CHECK(!compressed || compressed->size() <= cap);
    return 0;
}
