#include "updater/delta.h"

#include "platform/runtime/text.h"

#include <sodium.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <vector>

namespace delta {

namespace {

constexpr std::size_t kHashHexLength = 64;
constexpr int kSmallestWindowLog = 10;  // zstd's least

bool isHashHex(std::string_view text)
{
    return text.size() == kHashHexLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

std::optional<Index> parseIndex(std::string_view text)
{
    Index index;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line == "zst") {
            index.compressed = true;
        } else if (line.starts_with("patch ")) {
            const std::string_view hash = line.substr(6);
            if (!isHashHex(hash))
                return std::nullopt;
            index.patchSources.emplace(hash);
        }
    }
    return index;
}

std::u16string indexUrl(const std::u16string& programUrl)
{
    return programUrl + u".delta";
}

std::u16string compressedUrl(const std::u16string& programUrl)
{
    return programUrl + u".zst";
}

std::u16string patchUrl(const std::u16string& programUrl, const std::string& sourceHash)
{
    return programUrl + u".from-" + runtime::fromUtf8(sourceHash) + u".zst";
}

std::optional<std::string> sha256Hex(shell::InputFile& file)
{
    if (sodium_init() < 0)
        return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<std::byte> chunk(64 * 1024);
    for (std::uint64_t offset = 0; offset < file.size();) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), file.size() - offset));
        if (!file.readAt(offset, std::span(chunk.data(), n)))
            return std::nullopt;
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(chunk.data()), n);
        offset += n;
    }
    std::array<unsigned char, crypto_hash_sha256_BYTES> hash{};
    crypto_hash_sha256_final(&state, hash.data());
    std::array<char, crypto_hash_sha256_BYTES * 2 + 1> hex{};
    sodium_bin2hex(hex.data(), hex.size(), hash.data(), hash.size());
    return std::string(hex.data(), hash.size() * 2);
}

std::uint64_t maxRebuiltSize(std::uint64_t installedSize)
{
    constexpr std::uint64_t kGrowth = 16 * 1024 * 1024;
    return installedSize + std::max(installedSize, kGrowth);
}

std::optional<std::string> decode(std::string_view frame, std::optional<std::string_view> source, std::uint64_t maxSize)
{
    // One frame, whose size is written in it: the program is decoded in one piece into a
    // buffer of that size, and nothing may follow the frame.
    const unsigned long long size = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR || size > maxSize
        || ZSTD_findFrameCompressedSize(frame.data(), frame.size()) != frame.size())
        return std::nullopt;
    const std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> decoder(ZSTD_createDCtx(), ZSTD_freeDCtx);
    // A window no larger than the source and the program together need.
    const auto needed = std::max<std::uint64_t>(size + (source ? source->size() : 0), 1);
    const int windowLog = std::max(kSmallestWindowLog, static_cast<int>(std::bit_width(needed)));
    if (!decoder || ZSTD_isError(ZSTD_DCtx_setParameter(decoder.get(), ZSTD_d_windowLogMax, windowLog))
        || (source && ZSTD_isError(ZSTD_DCtx_refPrefix(decoder.get(), source->data(), source->size()))))
        return std::nullopt;
    std::string program(static_cast<std::size_t>(size), '\0');
    const std::size_t written =
        ZSTD_decompressDCtx(decoder.get(), program.data(), program.size(), frame.data(), frame.size());
    if (ZSTD_isError(written) || written != program.size())
        return std::nullopt;
    return program;
}

}  // namespace delta
