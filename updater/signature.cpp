#include "updater/signature.h"

#include <sodium.h>

#include <charconv>
#include <fstream>
#include <vector>

namespace signature {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";

bool ready()
{
    static const bool initialised = sodium_init() >= 0;
    return initialised;
}

// Decodes `text` to exactly `size` bytes, or nothing.
template <std::size_t size>
std::optional<std::array<unsigned char, size>> decode(std::string_view text)
{
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

std::optional<std::uint64_t> timestampOf(const Signature& signature)
{
    const auto text = signature.field("timestamp");
    std::uint64_t value = 0;
    if (!text || text->empty()
        || std::from_chars(text->data(), text->data() + text->size(), value).ptr != text->data() + text->size())
        return std::nullopt;
    return value;
}

bool verify(const std::array<unsigned char, 64>& signed_, const unsigned char* message, std::size_t size,
            const PublicKey& key)
{
    return crypto_sign_verify_detached(signed_.data(), message, size, key.key.data()) == 0;
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
    if (!signatureBytes || !global || (*signatureBytes)[0] != 'E')
        return std::nullopt;
    Signature signature;
    switch ((*signatureBytes)[1]) {
    case 'd': signature.prehashed = false; break;
    case 'D': signature.prehashed = true; break;
    default: return std::nullopt;
    }
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

bool fileVerifies(const Signature& signature, const PublicKey& key, const std::filesystem::path& file)
{
    if (!commentVerifies(signature, key))
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::vector<unsigned char> chunk(64 * 1024);
    if (signature.prehashed) {
        crypto_generichash_state state;
        std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
        crypto_generichash_init(&state, nullptr, 0, hash.size());
        while (in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
            crypto_generichash_update(&state, chunk.data(), static_cast<unsigned long long>(in.gcount()));
        if (in.bad())
            return false;
        crypto_generichash_final(&state, hash.data(), hash.size());
        return verify(signature.fileSignature, hash.data(), hash.size(), key);
    }
    const std::vector<unsigned char> whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !in.bad() && verify(signature.fileSignature, whole.data(), whole.size(), key);
}

bool acceptsUpdate(std::string_view signatureText, const PublicKey& key, const std::filesystem::path& program,
                   std::string_view fileName, const std::optional<std::string>& keptSignatureText)
{
    const auto candidate = parseSignature(signatureText);
    if (!candidate || !fileVerifies(*candidate, key, program))
        return false;
    // A signature made for another of the vendor's files must not carry this one.
    const auto file = candidate->field("file");
    if (file && *file != fileName)
        return false;
    // No going back to an older, signed and perhaps vulnerable version.
    const auto timestamp = timestampOf(*candidate);
    if (!timestamp)
        return false;
    const auto kept = keptSignatureText ? parseSignature(*keptSignatureText) : std::nullopt;
    if (kept && commentVerifies(*kept, key)) {
        const auto keptTimestamp = timestampOf(*kept);
        if (keptTimestamp && *timestamp < *keptTimestamp)
            return false;
    }
    return true;
}

}  // namespace signature
