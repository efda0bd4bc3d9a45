#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Signed updates in minisign's formats, checked with libsodium: the vendor's public key, the
// signature file that lies beside a program on the update server, and the updater's rule for
// taking a program. Vendors sign with the minisign program; nothing here signs.
namespace signature {

inline constexpr std::size_t kMaxSignatureFileSize = 4096;
// The name a signature must allow its program to be installed under ("install:" field).
inline constexpr std::string_view kInstallName = "VelkoraLirvane.exe";

struct PublicKey {
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 32> key{};
};

// The base64 line of a minisign public key file ("RW..."); nullopt for anything else.
std::optional<PublicKey> parsePublicKey(std::string_view base64);

// A signature of minisign's hashed algorithm ("ED"): over the BLAKE2b-512 hash of the file.
// The algorithm bytes are covered by no signature, so only this one is taken: with the other
// ("Ed", over the file itself) a signed hash would pass for a signed 64-byte file.
struct Signature {
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 64> fileSignature{};
    std::string trustedComment;                       // the text after "trusted comment: "
    std::array<unsigned char, 64> globalSignature{};  // over fileSignature and trustedComment

    // A field of the trusted comment ("timestamp", "file"): tab-separated "name:value" parts.
    std::optional<std::string> field(std::string_view name) const;
    // The "timestamp:" field in seconds since 1970; nullopt when absent or beyond 64 bits.
    std::optional<std::uint64_t> timestamp() const;
};

// A .minisig file: an untrusted comment line, the signature line ("ED" only), the trusted
// comment line and the global signature line (LF or CR LF), at most kMaxSignatureFileSize
// bytes. nullopt for anything else.
std::optional<Signature> parseSignature(std::string_view text);

// Reads `into.size()` bytes of a file at `offset`; false when they cannot be read.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::byte> into)>;

// True when the trusted comment is signed by `key` (the global signature).
bool commentVerifies(const Signature& signature, const PublicKey& key);
// True when `signature` is by `key` over the `size` bytes that `readAt` reads, trusted comment
// included.
bool fileVerifies(const Signature& signature, const PublicKey& key, std::uint64_t size, const ReadAt& readAt);

// What a signature must say for the updater to install its program.
struct UpdateRule {
    PublicKey key;
    std::string fileName;                // as the server's file-name text names the program ("file:")
    std::uint64_t minimumTimestamp = 0;  // built in: nothing signed earlier is taken
    // The signature kept beside the installed program: nothing signed earlier than it is taken
    // either. One that does not verify with `key` counts as none.
    std::optional<std::string> keptSignature;
};

// True when `signatureText` verifies the program with the rule's key, its trusted comment
// holds "file:" with the rule's name and "install:" with kInstallName, and its timestamp fits
// 64 bits and is no older than the rule's floor and the kept signature's. Every refusal is
// this one false.
bool acceptsUpdate(std::string_view signatureText, const UpdateRule& rule, std::uint64_t size, const ReadAt& readAt);

}  // namespace signature
