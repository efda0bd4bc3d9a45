#include "updater/signature.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <vector>

namespace signature {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::size_t kHashChunk = 64 * 1024;

bool ready()
{
    static const bool initialised = sodium_init() >= 0;
    return initialised;
}

// Decodes `text` to exactly `size` bytes, or nothing.
template <std::size_t size>
std::optional<std::array<unsigned char, size>> decode(std::string_view text)
{
    // libsodium's decoder takes some bytes beyond ASCII for letters of the alphabet: only the
    // alphabet itself is base64 here.
    const auto inAlphabet = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/'
               || c == '=';
    };
    if (!std::all_of(text.begin(), text.end(), inAlphabet))
        return std::nullopt;
    std::array<unsigned char, size> bytes{};
    std::size_t length = 0;
    const char* end = nullptr;
    if (text.empty()
        || sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, &end,
                             sodium_base64_VARIANT_ORIGINAL)
               != 0
        || length != size || end != text.data() + text.size())
        return std::nullopt;
    return bytes;
}

bool verify(const std::array<unsigned char, 64>& signed_, const unsigned char* message, std::size_t size,
            const PublicKey& key)
{
    return crypto_sign_verify_detached(signed_.data(), message, size, key.key.data()) == 0;
}

std::optional<std::uint64_t> keptTimestamp(const UpdateRule& rule)
{
    const auto kept = rule.keptSignature ? parseSignature(*rule.keptSignature) : std::nullopt;
    if (!kept || !commentVerifies(*kept, rule.key))
        return std::nullopt;
    return kept->timestamp();
}

}  // namespace

std::optional<PublicKey> parsePublicKey(std::string_view base64)
{
    const auto bytes = decode<42>(base64);
    if (!bytes || (*bytes)[0] != 'E' || (*bytes)[1] != 'd')
        return std::nullopt;
    PublicKey key;
    std::copy(bytes->begin() + 2, bytes->begin() + 10, key.keyId.begin());
    std::copy(bytes->begin() + 10, bytes->end(), key.key.begin());
    return key;
}

std::optional<std::string> Signature::field(std::string_view name) const
{
    std::string_view rest = trustedComment;
    while (!rest.empty()) {
        const auto tab = rest.find('\t');
        const std::string_view part = rest.substr(0, tab);
        if (part.size() > name.size() && part.substr(0, name.size()) == name && part[name.size()] == ':')
            return std::string(part.substr(name.size() + 1));
        rest.remove_prefix(tab == std::string_view::npos ? rest.size() : tab + 1);
    }
    return std::nullopt;
}

std::optional<std::uint64_t> Signature::timestamp() const
{
    const auto text = field("timestamp");
    std::uint64_t value = 0;
    if (!text || text->empty())
        return std::nullopt;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size())
        return std::nullopt;
    return value;
}

std::optional<Signature> parseSignature(std::string_view text)
{
    if (text.size() > kMaxSignatureFileSize)
        return std::nullopt;
    std::array<std::string_view, 4> lines;
    for (auto& line : lines) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos && text.empty())
            return std::nullopt;
        line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // A line ends at its first CR, as minisign reads it (and signs its trusted comment).
        line = line.substr(0, line.find('\r'));
    }
    if (text.find_first_not_of("\r\n") != std::string_view::npos)
        return std::nullopt;  // nothing but line ends after the four lines
    if (lines[0].substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix
        || lines[2].substr(0, kTrustedPrefix.size()) != kTrustedPrefix)
        return std::nullopt;
    const auto signatureBytes = decode<74>(lines[1]);
    const auto global = decode<64>(lines[3]);
    if (!signatureBytes || !global || (*signatureBytes)[0] != 'E' || (*signatureBytes)[1] != 'D')
        return std::nullopt;
    Signature signature;
    std::copy(signatureBytes->begin() + 2, signatureBytes->begin() + 10, signature.keyId.begin());
    std::copy(signatureBytes->begin() + 10, signatureBytes->end(), signature.fileSignature.begin());
    signature.trustedComment = lines[2].substr(kTrustedPrefix.size());
    signature.globalSignature = *global;
    return signature;
}

bool commentVerifies(const Signature& signature, const PublicKey& key)
{
    if (!ready() || signature.keyId != key.keyId)
        return false;
    std::vector<unsigned char> message(signature.fileSignature.begin(), signature.fileSignature.end());
    message.insert(message.end(), signature.trustedComment.begin(), signature.trustedComment.end());
    return verify(signature.globalSignature, message.data(), message.size(), key);
}

bool fileVerifies(const Signature& signature, const PublicKey& key, std::uint64_t size, const ReadAt& readAt)
{
    if (!commentVerifies(signature, key))
        return false;
    crypto_generichash_state state;
    std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
    crypto_generichash_init(&state, nullptr, 0, hash.size());
    std::vector<std::byte> chunk(kHashChunk);
    for (std::uint64_t offset = 0; offset < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - offset));
        if (!readAt(offset, std::span(chunk.data(), n)))
            return false;
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(chunk.data()), n);
        offset += n;
    }
    crypto_generichash_final(&state, hash.data(), hash.size());
    return verify(signature.fileSignature, hash.data(), hash.size(), key);
}

bool acceptsUpdate(std::string_view signatureText, const UpdateRule& rule, std::uint64_t size, const ReadAt& readAt)
{
    const auto candidate = parseSignature(signatureText);
    if (!candidate || !fileVerifies(*candidate, rule.key, size, readAt))
        return false;
    // Signed for this file and for being installed as the program: a signature of another of
    // the vendor's files, or of one not meant to be the program, must not carry this one.
    if (candidate->field("file") != rule.fileName || candidate->field("install") != kInstallName)
        return false;
    // No going back to an older, signed and perhaps vulnerable version.
    const auto timestamp = candidate->timestamp();
    const std::uint64_t floor = std::max(rule.minimumTimestamp, keptTimestamp(rule).value_or(0));
    return timestamp && *timestamp >= floor;
}

}  // namespace signature
