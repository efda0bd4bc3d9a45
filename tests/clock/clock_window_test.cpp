// The clock as the system shows it on a screen: for a fixed time and style, the pixels of its
// window are those of the strip pictures' cells, laid out as the clock row lays them, on both
// systems alike.
#include "clock/strip_pictures.h"
#include "clock/user_control1.h"
#include "tests/clock/window_stage.h"

#include <gtest/gtest.h>

namespace {

// The clock row drawn straight from the strips' pixels: the expectation, by none of the code
// that shows it.
Picture expectedRow(const ClockTime& time, int style, bool colonsLit)
{
    constexpr int kLefts[] = {0, 18, 36, 41, 59, 77, 82, 100};
    constexpr int kWidth = 118;
    const auto digits = strips::drawDigitStrip(style);
    const auto punctuation = strips::drawPunctuationStrip(style);
    // Palette index of pixel (x, y), y from the top, in a 4-bit bottom-up BMP.
    const auto index = [](const std::vector<std::uint8_t>& bmp, int x, int y) {
        const int width = bmp[18] | bmp[19] << 8;
        const int rowBytes = ((width * 4 + 31) / 32) * 4;
        const std::uint8_t byte = bmp[118 + static_cast<std::size_t>((strips::kCellHeight - 1 - y) * rowBytes + x / 2)];
        return static_cast<std::uint8_t>(x % 2 == 0 ? byte >> 4 : byte & 0xF);
    };
    std::vector<std::uint32_t> pixels(kWidth * strips::kCellHeight);
    const auto cells = cellsFor(time, colonsLit);
    for (std::size_t position = 0; position < cells.size(); ++position) {
        const bool isDigit = cells[position].strip == CellChoice::Strip::Digits;
        const int cellWidth = isDigit ? strips::kDigitCellWidth : strips::kPunctuationCellWidth;
        for (int y = 0; y < strips::kCellHeight; ++y) {
            for (int x = 0; x < cellWidth; ++x) {
                const int source = cells[position].cell * cellWidth + x;
                pixels[static_cast<std::size_t>(y * kWidth + kLefts[position] + x)] =
                    strips::paletteColour(index(isDigit ? digits : punctuation, source, y));
            }
        }
    }
    return Picture(kWidth, strips::kCellHeight, std::move(pixels));
}

// Equal pictures, or where they first differ.
testing::AssertionResult samePixels(const Picture& shown, const Picture& expected)
{
    if (shown.width() != expected.width() || shown.height() != expected.height())
        return testing::AssertionFailure() << "shown " << shown.width() << " x " << shown.height() << ", expected "
                                           << expected.width() << " x " << expected.height();
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) != expected.pixel(x, y))
                return testing::AssertionFailure()
                       << std::hex << "pixel (" << std::dec << x << ", " << y << ") is " << std::hex
                       << shown.pixel(x, y) << ", expected " << expected.pixel(x, y);
        }
    }
    return testing::AssertionSuccess();
}

struct Shown {
    ClockTime time;
    int style;
};

void PrintTo(const Shown& shown, std::ostream* out)
{
    *out << shown.time.hour << ":" << shown.time.minute << ":" << shown.time.second << " in style " << shown.style;
}

class ClockOnScreen : public testing::TestWithParam<Shown> {};

TEST_P(ClockOnScreen, ShowsTheStripCellsOfTheTimeOnTheSystemsGround)
{
    const auto [time, style] = GetParam();
    UserControl1 control([time] { return time; });
    WindowStage stage(200, 60);
    ASSERT_TRUE(control.window().place(stage.parent()));
    // Creation draws the colons dim; a put of Style draws once more, lit.
    if (style != 0)
        control.setStyle(style);
    const Picture shown = stage.capture(0, 0, 200, 60);
    ASSERT_EQ(shown.width(), 200);
    EXPECT_TRUE(samePixels(shown.copy(0, 0, 118, 27), expectedRow(time, style, style != 0)));
    EXPECT_EQ(shown.pixel(118, 0), stage.ground());
    EXPECT_EQ(shown.pixel(0, 27), stage.ground());
    EXPECT_EQ(shown.pixel(199, 59), stage.ground());
}

INSTANTIATE_TEST_SUITE_P(Times, ClockOnScreen,
                         testing::Values(Shown{{0, 0, 0}, 0}, Shown{{9, 5, 7}, 1}, Shown{{23, 59, 59}, 2}),
                         [](const testing::TestParamInfo<Shown>& shown) {
                             const ClockTime& t = shown.param.time;
                             return std::to_string(t.hour * 10000 + t.minute * 100 + t.second) + "_style"
                                    + std::to_string(shown.param.style);
                         });

}  // namespace
