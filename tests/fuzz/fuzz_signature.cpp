// The signature file parser: line endings do not matter, and no stranger's signature verifies.
#include "tests/fuzz/fuzz_check.h"
#include "updater/signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto key = signature::parsePublicKey("RWSbpu994oqBSuMm8oXK/j9GAq+yDwBMLHi4xRt7JTCRvDGPFdS9n/FM");
    const std::string_view text = bytesOf(data, size);
    const auto parsed = signature::parseSignature(text);
    if (!parsed)
        return 0;
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto again = signature::parseSignature(crlf);
    FUZZ_CHECK(crlf.size() > signature::kMaxSignatureFileSize
               || (again && again->trustedComment == parsed->trustedComment && again->keyId == parsed->keyId));
    FUZZ_CHECK(!signature::commentVerifies(*parsed, *key) || parsed->keyId == key->keyId);
    return 0;
}
