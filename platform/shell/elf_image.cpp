#include "platform/shell/elf_image.h"

#include <array>
#include <cstring>
#include <optional>

namespace shell {

namespace {

constexpr std::uint16_t kTypeExecutable = 2;
constexpr std::uint16_t kTypeShared = 3;
constexpr std::uint32_t kSegmentLoad = 1;
constexpr std::uint16_t kManyProgramHeaders = 0xFFFF;  // the count is in section 0's sh_info

// The fields of the ELF header, the program headers and section 0 that the check needs, in
// the file's class and byte order.
class ElfReader {
public:
    ElfReader(std::uint64_t size, const ReadAt& readAt) : m_size(size), m_readAt(readAt) {}

    bool readIdentity()
    {
        std::array<std::byte, 16> ident{};
        if (!m_readAt(0, ident)
            || std::memcmp(ident.data(),
                           "\x7F"
                           "ELF",
                           4)
                   != 0)
            return false;
        const auto elfClass = static_cast<unsigned>(ident[4]);
        const auto data = static_cast<unsigned>(ident[5]);
        if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2) || static_cast<unsigned>(ident[6]) != 1)
            return false;
        m_wide = elfClass == 2;
        m_bigEndian = data == 2;
        return true;
    }

    bool wide() const { return m_wide; }

    // An unsigned field of `width` bytes at `offset`; nullopt when the file ends before it.
    std::optional<std::uint64_t> field(std::uint64_t offset, unsigned width) const
    {
        std::array<std::byte, 8> bytes{};
        if (offset > m_size || width > m_size - offset || !m_readAt(offset, std::span(bytes.data(), width)))
            return std::nullopt;
        std::uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            const auto byte = static_cast<std::uint64_t>(bytes[m_bigEndian ? i : width - 1 - i]);
            value = (value << 8) | byte;
        }
        return value;
    }
    // A field that is 4 bytes wide in 32-bit files and 8 in 64-bit ones.
    std::optional<std::uint64_t> word(std::uint64_t offset) const { return field(offset, m_wide ? 8 : 4); }

    // True when `count` entries of `entrySize` bytes from `offset` lie within the file.
    bool holds(std::uint64_t offset, std::uint64_t count, std::uint64_t entrySize) const
    {
        if (offset > m_size)
            return false;
        return entrySize == 0 || count <= (m_size - offset) / entrySize;
    }
    bool holdsBytes(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

private:
    std::uint64_t m_size;
    const ReadAt& m_readAt;
    bool m_wide = false;
    bool m_bigEndian = false;
};

}  // namespace

bool isWholeElfProgram(std::uint64_t size, const ReadAt& readAt)
{
    ElfReader elf(size, readAt);
    if (!elf.readIdentity())
        return false;
    const bool wide = elf.wide();
    // Offsets of the header fields in the 32-bit and 64-bit layouts.
    const auto type = elf.field(16, 2);
    const auto phoff = elf.word(wide ? 32 : 28);
    const auto shoff = elf.word(wide ? 40 : 32);
    const auto phentsize = elf.field(wide ? 54 : 42, 2);
    const auto phnum = elf.field(wide ? 56 : 44, 2);
    const auto shentsize = elf.field(wide ? 58 : 46, 2);
    const auto shnum = elf.field(wide ? 60 : 48, 2);
    if (!type || !phoff || !shoff || !phentsize || !phnum || !shentsize || !shnum)
        return false;
    if (*type != kTypeExecutable && *type != kTypeShared)
        return false;

    const std::uint64_t minimumProgramHeader = wide ? 56 : 32;
    const std::uint64_t minimumSectionHeader = wide ? 64 : 40;
    std::uint64_t sectionCount = *shnum;
    std::uint64_t programCount = *phnum;
    if (*shoff != 0) {
        if (*shentsize < minimumSectionHeader)
            return false;
        // Counts too large for the header are kept in section 0: sh_size and sh_info.
        if (sectionCount == 0 || programCount == kManyProgramHeaders) {
            const auto sh_size = elf.word(*shoff + (wide ? 32 : 20));
            const auto sh_info = elf.field(*shoff + (wide ? 44 : 28), 4);
            if (!sh_size || !sh_info)
                return false;
            if (sectionCount == 0)
                sectionCount = *sh_size;
            if (programCount == kManyProgramHeaders)
                programCount = *sh_info;
        }
        if (!elf.holds(*shoff, sectionCount, *shentsize))
            return false;
    } else if (programCount == kManyProgramHeaders) {
        return false;
    }

    // A program has segments to load, described by a table that lies within the file.
    if (programCount == 0 || *phentsize < minimumProgramHeader || !elf.holds(*phoff, programCount, *phentsize))
        return false;
    bool loads = false;
    for (std::uint64_t i = 0; i < programCount; ++i) {
        const std::uint64_t header = *phoff + i * *phentsize;
        const auto segmentType = elf.field(header, 4);
        const auto offset = elf.word(header + (wide ? 8 : 4));
        const auto fileSize = elf.word(header + (wide ? 32 : 16));
        if (!segmentType || !offset || !fileSize)
            return false;
        if (*segmentType != kSegmentLoad)
            continue;
        loads = true;
        if (!elf.holdsBytes(*offset, *fileSize))
            return false;
    }
    return loads;
}

}  // namespace shell
