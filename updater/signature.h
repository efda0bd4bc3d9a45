#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Signed updates in minisign's formats, checked with libsodium: the vendor's public key, the
// signature file that lies beside a program on the update server, and the updater's rule for
// taking a program. Vendors sign with the minisign program; nothing here signs.
namespace signature {

inline constexpr std::size_t kMaxSignatureFileSize = 4096;

struct PublicKey {
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 32> key{};
};

// The base64 line of a minisign public key file ("RW..."); nullopt for anything else.
std::optional<PublicKey> parsePublicKey(std::string_view base64);

struct Signature {
    bool prehashed = false;  // "ED": the signature is over the file's BLAKE2b-512 hash ("Ed": the file)
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 64> fileSignature{};
    std::string trustedComment;  // the text after "trusted comment: "
    std::array<unsigned char, 64> globalSignature{};  // over fileSignature and trustedComment

    // A field of the trusted comment ("timestamp", "file"): tab-separated "name:value" parts.
    std::optional<std::string> field(std::string_view name) const;
};

// A .minisig file: an untrusted comment line, the signature line, the trusted comment line and
// the global signature line (LF or CR LF), at most kMaxSignatureFileSize bytes. nullopt for
// anything else.
std::optional<Signature> parseSignature(std::string_view text);

// True when the trusted comment is signed by `key` (the global signature).
bool commentVerifies(const Signature& signature, const PublicKey& key);
// True when `signature` is by `key` over the bytes of `file`, trusted comment included.
bool fileVerifies(const Signature& signature, const PublicKey& key, const std::filesystem::path& file);

// The updater takes `program` only when `signatureText` verifies it with `key`, a `file:` field
// of its trusted comment (when there is one) is `fileName`, and its `timestamp:` is there and
// no older than that of `keptSignatureText`, the signature kept beside the installed program
// (one that does not verify with `key` counts as none).
bool acceptsUpdate(std::string_view signatureText, const PublicKey& key, const std::filesystem::path& program,
                   std::string_view fileName, const std::optional<std::string>& keptSignatureText);

}  // namespace signature
