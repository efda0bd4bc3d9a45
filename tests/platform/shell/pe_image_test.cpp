#include "platform/shell/pe_image.h"
#include "tests/support/pe_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pe_builder::build;
using pe_builder::put;

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
            for (const std::size_t size :
                 {std::size_t{2}, std::size_t{0x90}, std::size_t{0x1A0}, std::size_t{0x300}, image.size() - 1}) {
                EXPECT_FALSE(
                    whole(std::vector<std::byte>(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size))))
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
