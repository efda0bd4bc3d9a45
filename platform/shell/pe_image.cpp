#include "platform/shell/pe_image.h"

#include <array>
#include <optional>

namespace shell {

namespace {

constexpr std::uint64_t kNewHeaderOffset = 0x3C;  // e_lfanew in the DOS header
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kMagic32 = 0x10B;
constexpr std::uint16_t kMagic64 = 0x20B;
constexpr std::uint32_t kSecurityDirectory = 4;  // its address is a file offset, not an RVA

// Little-endian fields of the file, within its size.
class PeReader {
public:
    PeReader(std::uint64_t size, const ReadAt& readAt) : m_size(size), m_readAt(readAt) {}

    std::optional<std::uint64_t> field(std::uint64_t offset, unsigned width) const
    {
        std::array<std::byte, 8> bytes{};
        if (!holds(offset, width) || !m_readAt(offset, std::span(bytes.data(), width)))
            return std::nullopt;
        std::uint64_t value = 0;
        for (unsigned i = width; i > 0; --i)
            value = (value << 8) | static_cast<std::uint64_t>(bytes[i - 1]);
        return value;
    }

    // True when `length` bytes from `offset` lie within the file.
    bool holds(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

private:
    std::uint64_t m_size;
    const ReadAt& m_readAt;
};

}  // namespace

bool isWholePeImage(std::uint64_t size, const ReadAt& readAt)
{
    const PeReader file(size, readAt);
    const auto dos = file.field(0, 2);
    const auto newHeader = file.field(kNewHeaderOffset, 4);
    if (dos != 0x5A4D || !newHeader)  // "MZ"
        return false;
    const std::uint64_t pe = *newHeader;
    const auto signature = file.field(pe, 4);
    const auto sections = file.field(pe + 6, 2);
    const auto optionalSize = file.field(pe + 20, 2);
    const auto characteristics = file.field(pe + 22, 2);
    if (signature != 0x00004550 || !sections || !optionalSize || !characteristics  // "PE\0\0"
        || (*characteristics & kExecutableImage) == 0)
        return false;

    const std::uint64_t optional = pe + 4 + kFileHeaderSize;
    const auto magic = file.field(optional, 2);
    if (!magic || (*magic != kMagic32 && *magic != kMagic64) || !file.holds(optional, *optionalSize))
        return false;
    const bool wide = *magic == kMagic64;
    const auto headersSize = file.field(optional + 60, 4);
    // The data directories follow the fields whose size depends on the image's width.
    const std::uint64_t countAt = optional + (wide ? 108 : 92);
    const auto directories = file.field(countAt, 4);
    if (!headersSize || !file.holds(0, *headersSize) || !directories)
        return false;
    if (*directories > kSecurityDirectory && countAt + 4 + 8 * (kSecurityDirectory + 1) <= optional + *optionalSize) {
        const std::uint64_t entry = countAt + 4 + 8 * kSecurityDirectory;
        const auto at = file.field(entry, 4);
        const auto length = file.field(entry + 4, 4);
        if (!at || !length || (*length != 0 && !file.holds(*at, *length)))
            return false;
    }

    const std::uint64_t table = optional + *optionalSize;
    if (!file.holds(table, *sections * kSectionHeaderSize))
        return false;
    for (std::uint64_t i = 0; i < *sections; ++i) {
        const std::uint64_t header = table + i * kSectionHeaderSize;
        const auto rawSize = file.field(header + 16, 4);
        const auto rawAt = file.field(header + 20, 4);
        if (!rawSize || !rawAt || (*rawSize != 0 && !file.holds(*rawAt, *rawSize)))
            return false;
    }
    return true;
}

}  // namespace shell
