#include "platform/shell/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

void put(std::vector<std::byte>& image, std::size_t offset, std::uint64_t value, unsigned width)
{
    if (image.size() < offset + width)
        image.resize(offset + width);
    for (unsigned i = 0; i < width; ++i)
        image[offset + i] = static_cast<std::byte>(value >> (8 * i));
}

// A minimal PE image: DOS header, PE header, optional header with 16 data directories, two
// sections of 512 bytes each, and (when `certificate`) a certificate table at the end.
std::vector<std::byte> build(bool wide, bool certificate)
{
    constexpr std::size_t pe = 0x80;
    const std::size_t optionalSize = wide ? 240 : 224;
    const std::size_t table = pe + 24 + optionalSize;
    const std::size_t headers = 0x200;
    std::vector<std::byte> image(headers + 2 * 512);
    std::memcpy(image.data(), "MZ", 2);
    put(image, 0x3C, pe, 4);
    std::memcpy(image.data() + pe, "PE\0\0", 4);
    put(image, pe + 4, wide ? 0x8664 : 0x14C, 2);
    put(image, pe + 6, 2, 2);               // sections
    put(image, pe + 20, optionalSize, 2);
    put(image, pe + 22, 0x0002 | 0x0020, 2);  // executable, large addresses
    const std::size_t optional = pe + 24;
    put(image, optional, wide ? 0x20B : 0x10B, 2);
    put(image, optional + 60, headers, 4);
    put(image, optional + (wide ? 108 : 92), 16, 4);
    for (int i = 0; i < 2; ++i) {
        const std::size_t header = table + 40u * i;
        std::memcpy(image.data() + header, i == 0 ? ".text" : ".data", 5);
        put(image, header + 16, 512, 4);
        put(image, header + 20, headers + 512u * i, 4);
    }
    if (certificate) {
        const std::size_t at = image.size();
        image.resize(at + 64);
        put(image, optional + (wide ? 112 : 96) + 8 * 4, at, 4);
        put(image, optional + (wide ? 112 : 96) + 8 * 4 + 4, 64, 4);
    }
    return image;
}

bool whole(const std::vector<std::byte>& image)
{
    return shell::isWholePeImage(image.size(), [&](std::uint64_t offset, std::span<std::byte> into) {
        if (offset + into.size() > image.size())
            return false;
        std::memcpy(into.data(), image.data() + offset, into.size());
        return true;
    });
}

TEST(PeImage, AWholeImageOfEitherWidthPassesAndAnyCutFails)
{
    for (const bool wide : {false, true}) {
        for (const bool certificate : {false, true}) {
            const auto image = build(wide, certificate);
            EXPECT_TRUE(whole(image)) << wide << certificate;
            // Cut within the headers, the section table, either section, the certificate table.
            for (const std::size_t size : {std::size_t{2}, std::size_t{0x90}, std::size_t{0x1A0}, std::size_t{0x300},
                                           image.size() - 1}) {
                EXPECT_FALSE(whole(std::vector<std::byte>(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size))))
                    << "wide " << wide << ", certificate " << certificate << ", cut at " << size;
            }
        }
    }
}

TEST(PeImage, WhatIsNoProgramFails)
{
    std::vector<std::byte> text(2000, std::byte{'x'});
    EXPECT_FALSE(whole(text));
    auto object = build(true, false);
    put(object, 0x80 + 22, 0, 2);  // not marked executable: an object file
    EXPECT_FALSE(whole(object));
    auto elsewhere = build(true, false);
    put(elsewhere, 0x3C, 0xFFFFFFF0, 4);  // the PE header beyond the file
    EXPECT_FALSE(whole(elsewhere));
}

}  // namespace
