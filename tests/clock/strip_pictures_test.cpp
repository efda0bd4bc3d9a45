#include "clock/strip_pictures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#ifndef CLOCK_RESOURCES_DIR
#error "CLOCK_RESOURCES_DIR must name the clock's resources"
#endif

namespace {

std::vector<std::uint8_t> committed(const std::string& name)
{
    std::ifstream in(std::string(CLOCK_RESOURCES_DIR) + "/" + name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Palette index of pixel (x, y), y from the top, in a 4-bit bottom-up BMP.
int pixel(const std::vector<std::uint8_t>& bmp, int x, int y)
{
    const int width = static_cast<int>(u32(bmp, 18));
    const int height = static_cast<int>(u32(bmp, 22));
    const int rowBytes = ((width * 4 + 31) / 32) * 4;
    const std::uint8_t byte = bmp[118 + static_cast<std::size_t>((height - 1 - y) * rowBytes + x / 2)];
    return x % 2 == 0 ? byte >> 4 : byte & 0xF;
}

struct StripCase {
    std::string name;
    std::vector<std::uint8_t> drawn;
    std::uint32_t width;
    std::uint32_t fileSize;
};

class StripFiles : public testing::TestWithParam<int> {};

TEST_P(StripFiles, CommittedFilesAreWhatTheGeneratorDrawsWithTheStatedHeader)
{
    const int style = GetParam();
    for (const StripCase& strip :
         {StripCase{strips::digitStripName(style), strips::drawDigitStrip(style), 198, 2818},
          StripCase{strips::punctuationStripName(style), strips::drawPunctuationStrip(style), 40, 658}}) {
        const auto file = committed(strip.name);
        EXPECT_EQ(file, strip.drawn) << strip.name;
        ASSERT_EQ(file.size(), strip.fileSize);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(u32(file, 2), strip.fileSize);
        EXPECT_EQ(u32(file, 10), 118u);  // data offset
        EXPECT_EQ(u32(file, 14), 40u);   // info header
        EXPECT_EQ(u32(file, 18), strip.width);
        EXPECT_EQ(static_cast<std::int32_t>(u32(file, 22)), 27);  // positive: bottom-up
        EXPECT_EQ(u16(file, 28), 4);                              // bits per pixel
        EXPECT_EQ(u32(file, 30), 0u);                             // uncompressed
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t rgb = file[54 + 4 * i + 2] << 16 | file[54 + 4 * i + 1] << 8 | file[54 + 4 * i];
            EXPECT_EQ(rgb, strips::paletteColour(static_cast<std::uint8_t>(i)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Styles, StripFiles, testing::Values(0, 1, 2));

TEST(StripFigures, LitAndDimSegmentsOnBlack)
{
    const auto digits = strips::drawDigitStrip(0);
    const auto [lit, dim] = strips::coloursOf(0);
    EXPECT_EQ(strips::paletteColour(lit), 0x00FF00u);
    EXPECT_EQ(strips::paletteColour(dim), 0x008000u);
    // Segment g (middle) of cell 8 is lit, of cell 0 dim, of cell 10 dim; corners are black.
    EXPECT_EQ(pixel(digits, 8 * 18 + 8, 13), lit);
    EXPECT_EQ(pixel(digits, 0 * 18 + 8, 13), dim);
    EXPECT_EQ(pixel(digits, 10 * 18 + 8, 13), dim);
    EXPECT_EQ(pixel(digits, 10 * 18 + 8, 2), dim);
    EXPECT_EQ(pixel(digits, 1 * 18 + 0, 0), 0);
    EXPECT_EQ(pixel(digits, 1 * 18 + 8, 2), dim);   // 1 has no top segment
    EXPECT_EQ(pixel(digits, 1 * 18 + 13, 6), lit);  // but a lit right side

    const auto punctuation = strips::drawPunctuationStrip(1);
    const auto red = strips::coloursOf(1);
    EXPECT_EQ(strips::paletteColour(red.lit), 0xFF0000u);
    EXPECT_EQ(pixel(punctuation, 2 * 5 + 2, 9), red.lit);   // colon, lit, upper dot
    EXPECT_EQ(pixel(punctuation, 2 * 5 + 2, 18), red.lit);  // lower dot
    EXPECT_EQ(pixel(punctuation, 3 * 5 + 2, 9), red.dim);   // colon, dim
    EXPECT_EQ(pixel(punctuation, 2 * 5 + 2, 13), 0);        // between the dots
    EXPECT_EQ(pixel(punctuation, 0 * 5 + 2, 23), red.lit);  // dot at the bottom
    EXPECT_EQ(pixel(punctuation, 4 * 5 + 2, 3), red.lit);   // dot at the top
    EXPECT_EQ(pixel(punctuation, 6 * 5 + 2, 13), red.lit);  // bar
    EXPECT_EQ(strips::paletteColour(strips::coloursOf(2).lit), 0x00FFFFu);
    EXPECT_EQ(strips::paletteColour(strips::coloursOf(2).dim), 0x008080u);
}

TEST(ToolboxBitmap, Is16By15At24Bits)
{
    const auto bmp = strips::drawToolboxBitmap();
    EXPECT_EQ(bmp, committed("toolbox30000.bmp"));
    EXPECT_EQ(u32(bmp, 18), 16u);
    EXPECT_EQ(u32(bmp, 22), 15u);
    EXPECT_EQ(u16(bmp, 28), 24);
}

}  // namespace
