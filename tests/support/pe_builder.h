#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// A minimal PE image: DOS header, PE header, optional header with 16 data directories, two
// sections of `sectionSize` bytes each (a multiple of 512), and (when `certificate`) a
// certificate table at the end.
namespace pe_builder {

inline void put(std::vector<std::byte>& image, std::size_t offset, std::uint64_t value, unsigned width)
{
    if (image.size() < offset + width)
        image.resize(offset + width);
    for (unsigned i = 0; i < width; ++i)
        image[offset + i] = static_cast<std::byte>(value >> (8 * i));
}

inline std::vector<std::byte> build(bool wide, bool certificate, std::size_t sectionSize = 512)
{
    constexpr std::size_t pe = 0x80;
    const std::size_t optionalSize = wide ? 240 : 224;
    const std::size_t table = pe + 24 + optionalSize;
    const std::size_t headers = 0x200;
    std::vector<std::byte> image(headers + 2 * sectionSize);
    std::memcpy(image.data(), "MZ", 2);
    put(image, 0x3C, pe, 4);
    std::memcpy(image.data() + pe, "PE\0\0", 4);
    put(image, pe + 4, wide ? 0x8664 : 0x14C, 2);
    put(image, pe + 6, 2, 2);  // sections
    put(image, pe + 20, optionalSize, 2);
    put(image, pe + 22, 0x0002 | 0x0020, 2);  // executable, large addresses
    const std::size_t optional = pe + 24;
    put(image, optional, wide ? 0x20B : 0x10B, 2);
    put(image, optional + 60, headers, 4);
    put(image, optional + (wide ? 108 : 92), 16, 4);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t header = table + 40 * i;
        std::memcpy(image.data() + header, i == 0 ? ".text" : ".data", 5);
        put(image, header + 16, sectionSize, 4);
        put(image, header + 20, headers + sectionSize * i, 4);
    }
    if (certificate) {
        const std::size_t at = image.size();
        image.resize(at + 64);
        put(image, optional + (wide ? 112 : 96) + 8 * 4, at, 4);
        put(image, optional + (wide ? 112 : 96) + 8 * 4 + 4, 64, 4);
    }
    return image;
}

}  // namespace pe_builder
