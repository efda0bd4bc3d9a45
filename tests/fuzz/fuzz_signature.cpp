// Signatures, keys and signed files. The target makes one verified signature of its own (a
// fixed key from a fixed seed, over a fixed file) and checks, by the first input byte:
//   0: the rest as a signature file: line endings do not matter, no stranger's signature
//      verifies, and whatever verifies with the key over the file is the signature itself
//      (trusted comment, signature bytes, algorithm byte, key id): a change to any of them
//      stops it verifying;
//   1: the rest as changes (two bytes of position, one of value) to the verified signature's
//      text: the same;
//   2: the rest as a public key line: a key read is that line, canonically encoded;
//   3: the rest as a file: the verified signature verifies that file and no other.
#include "tests/fuzz/fuzz_check.h"
#include "updater/signature.h"

#include <sodium.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Seed {
    signature::PublicKey key;
    std::string keyLine;
    std::string file = "#!/bin/sh\necho 2.0\n";
    std::string text;  // the signature file
};

std::string base64(const unsigned char* bytes, std::size_t size)
{
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(std::strlen(text.c_str()));
    return text;
}

const Seed& seed()
{
    static const Seed made = [] {
        Seed s;
        FUZZ_CHECK(sodium_init() >= 0);
        unsigned char secret[crypto_sign_SECRETKEYBYTES];
        unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
        unsigned char fixed[crypto_sign_SEEDBYTES] = {7};
        crypto_sign_seed_keypair(publicKey, secret, fixed);
        const unsigned char keyId[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        std::vector<unsigned char> keyBytes = {'E', 'd'};
        keyBytes.insert(keyBytes.end(), keyId, keyId + 8);
        keyBytes.insert(keyBytes.end(), publicKey, publicKey + sizeof publicKey);
        s.keyLine = base64(keyBytes.data(), keyBytes.size());
        s.key = *signature::parsePublicKey(s.keyLine);

        unsigned char hash[crypto_generichash_BYTES_MAX];
        crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(s.file.data()), s.file.size(),
                           nullptr, 0);
        std::vector<unsigned char> line = {'E', 'D'};
        line.insert(line.end(), keyId, keyId + 8);
        line.resize(line.size() + crypto_sign_BYTES);
        crypto_sign_detached(line.data() + 10, nullptr, hash, sizeof hash, secret);
        const std::string comment = "timestamp:1000\tfile:f.exe\tinstall:VelkoraLirvane.exe";
        std::vector<unsigned char> global(line.begin() + 10, line.end());
        global.insert(global.end(), comment.begin(), comment.end());
        unsigned char globalSignature[crypto_sign_BYTES];
        crypto_sign_detached(globalSignature, nullptr, global.data(), global.size(), secret);
        s.text = "untrusted comment: fuzz\n" + base64(line.data(), line.size()) + "\ntrusted comment: " + comment + "\n"
                 + base64(globalSignature, sizeof globalSignature) + "\n";
        return s;
    }();
    return made;
}

signature::ReadAt readerOf(std::string_view bytes)
{
    return [bytes](std::uint64_t offset, std::span<std::byte> into) {
        if (offset + into.size() > bytes.size())
            return false;
        std::memcpy(into.data(), bytes.data() + offset, into.size());
        return true;
    };
}

bool verifiesOver(const signature::Signature& parsed, std::string_view file)
{
    return signature::fileVerifies(parsed, seed().key, file.size(), readerOf(file));
}

void checkSignatureText(std::string_view text)
{
    static const auto original = signature::parseSignature(seed().text);
    FUZZ_CHECK(original && verifiesOver(*original, seed().file));
    const auto parsed = signature::parseSignature(text);
    if (!parsed)
        return;
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto again = signature::parseSignature(crlf);
    FUZZ_CHECK(crlf.size() > signature::kMaxSignatureFileSize
               || (again && again->trustedComment == parsed->trustedComment && again->keyId == parsed->keyId));
    if (verifiesOver(*parsed, seed().file)) {
        FUZZ_CHECK(parsed->keyId == original->keyId && parsed->fileSignature == original->fileSignature
                   && parsed->trustedComment == original->trustedComment
                   && parsed->globalSignature == original->globalSignature);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest = bytesOf(data + 1, size - 1);
    switch (data[0] % 4) {
    case 0: checkSignatureText(rest); break;
    case 1: {
        std::string text = seed().text;
        for (std::size_t i = 0; i + 2 < rest.size(); i += 3) {
            const std::size_t at = static_cast<unsigned char>(rest[i]) * 256u + static_cast<unsigned char>(rest[i + 1]);
            text[at % text.size()] = rest[i + 2];
        }
        checkSignatureText(text);
        break;
    }
    case 2:
        if (const auto key = signature::parsePublicKey(rest)) {
            std::vector<unsigned char> bytes = {'E', 'd'};
            bytes.insert(bytes.end(), key->keyId.begin(), key->keyId.end());
            bytes.insert(bytes.end(), key->key.begin(), key->key.end());
            FUZZ_CHECK(base64(bytes.data(), bytes.size()) == rest);
        }
        break;
    case 3: {
        static const auto original = signature::parseSignature(seed().text);
        FUZZ_CHECK(verifiesOver(*original, rest) == (rest == seed().file));
        break;
    }
    }
    return 0;
}
