#include "clock/clock_renderer.h"
#include "clock/painted_elements.h"
#include "clock/picture.h"
#include "clock/picture_clip.h"
#include "clock/strip_pictures.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "tests/support/error_of.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace {

using Strip = CellChoice::Strip;
constexpr CellChoice D(int cell)
{
    return {Strip::Digits, static_cast<std::int16_t>(cell)};
}
constexpr CellChoice P(int cell)
{
    return {Strip::Punctuation, static_cast<std::int16_t>(cell)};
}

struct TimeCase {
    ClockTime time;
    std::array<CellChoice, 8> dimColons;
};

void PrintTo(const TimeCase& c, std::ostream* out)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.time.hour, c.time.minute, c.time.second);
    *out << text;
}

class CellsForTime : public testing::TestWithParam<TimeCase> {};

TEST_P(CellsForTime, GivesTheListedCells)
{
    EXPECT_EQ(cellsFor(GetParam().time, false), GetParam().dimColons);
    auto lit = GetParam().dimColons;
    lit[2] = P(2);
    lit[5] = P(2);
    EXPECT_EQ(cellsFor(GetParam().time, true), lit);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, CellsForTime, testing::Values(
    TimeCase{{0, 0, 0}, {D(10), D(0), P(3), D(0), D(0), P(3), D(0), D(0)}},
    TimeCase{{9, 5, 7}, {D(10), D(9), P(3), D(0), D(5), P(3), D(0), D(7)}},
    TimeCase{{10, 0, 0}, {D(1), D(0), P(3), D(0), D(0), P(3), D(0), D(0)}},
    TimeCase{{23, 59, 59}, {D(2), D(3), P(3), D(5), D(9), P(3), D(5), D(9)}}));
// clang-format on

TEST(FormatClockTime, NineCharactersWithATrailingBlank)
{
    EXPECT_EQ(formatClockTime({9, 5, 7}), u"09:05:07 ");
}

// An image element that records what it was given; the width follows the picture, in twips.
class RecordingElement : public ImageElement {
public:
    runtime::Variant picture() const override { return m_picture; }
    void setPicture(const runtime::Variant& picture) override
    {
        if (failNext)
            throw runtime::RuntimeError(runtime::error::kInvalidProcedureCall);
        m_picture = picture;
        m_width = static_cast<float>(pictureOf(picture)->width() * 15);
        ++assignments;
    }
    float left() const override { return m_left; }
    float width() const override { return m_width; }
    void setLeft(float left) override { m_left = left; }
    void setVisible(bool visible) override { this->visible = visible; }

    bool visible = false;
    bool failNext = false;
    int assignments = 0;

private:
    runtime::Variant m_picture;
    float m_left = 0;
    float m_width = 0;
};

class RecordingArray : public ElementArray {
public:
    RecordingArray() { m_elements.push_back(std::make_unique<RecordingElement>()); }
    ImageElement& at(int index) override { return element(index); }
    RecordingElement& element(int index)
    {
        if (index < 0 || index >= static_cast<int>(m_elements.size()))
            throw runtime::controlArrayElementMissing(index);
        return *m_elements[static_cast<std::size_t>(index)];
    }
    void load(int index) override
    {
        m_elements.resize(static_cast<std::size_t>(index) + 1);
        m_elements[static_cast<std::size_t>(index)] = std::make_unique<RecordingElement>();
    }

private:
    std::vector<std::unique_ptr<RecordingElement>> m_elements;
};

Picture stripImage(const std::vector<std::uint8_t>& bmp)
{
    return decodeBitmap(std::as_bytes(std::span(bmp)));
}

class ClockRendererTest : public testing::Test {
protected:
    ClockRendererTest()
    {
        for (int style = 0; style < 3; ++style) {
            imgDigits.add(std::make_unique<HeldPicture>(pictureVariant(stripImage(strips::drawDigitStrip(style)))));
            imgPunctuation.add(
                std::make_unique<HeldPicture>(pictureVariant(stripImage(strips::drawPunctuationStrip(style)))));
        }
        clpDigits.setCols(11);
        clpPunctuation.setCols(8);
        renderer.ApplyStyle(0, false);
        renderer.buildClockRow();
    }

    // The colour of the lit pixel of segment g of the digit 8, or the middle of a colon.
    std::uint32_t colourAt(int element, int x, int y)
    {
        return pictureOf(imgClock.element(element).picture())->pixel(x, y);
    }

    PictureClip clpDigits;
    PictureClip clpPunctuation;
    OwnedElementArray imgDigits;
    OwnedElementArray imgPunctuation;
    RecordingArray imgClock;
    ClockTime now{12, 34, 56};
    ClockRenderer renderer{clpDigits, clpPunctuation, imgDigits, imgPunctuation, imgClock, [this] { return now; }};
};

TEST_F(ClockRendererTest, RowIsLaidEdgeToEdgeAndShown)
{
    const float lefts[] = {0, 270, 540, 615, 885, 1155, 1230, 1500};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(imgClock.element(i).left(), lefts[i]) << i;
        if (i > 0) {
            EXPECT_TRUE(imgClock.element(i).visible);
        }
    }
    EXPECT_FLOAT_EQ(imgClock.element(7).width(), 270);
    EXPECT_FLOAT_EQ(imgClock.element(2).width(), 75);
}

TEST_F(ClockRendererTest, ColonsRunDimLitDimAndNothingMoves)
{
    const auto colon = [&] { return *pictureOf(imgClock.element(2).picture()); };
    const Picture dim = *pictureOf(clpPunctuation.GraphicCell(3));
    const Picture lit = *pictureOf(clpPunctuation.GraphicCell(2));
    renderer.ShowTime({0, 0, 0});
    EXPECT_EQ(colon(), dim);
    renderer.ShowTime({0, 0, 1});
    EXPECT_EQ(colon(), lit);
    renderer.ShowTime({0, 0, 2});
    EXPECT_EQ(colon(), dim);
    EXPECT_FLOAT_EQ(imgClock.element(7).left(), 1500);
    EXPECT_EQ(imgClock.element(5).assignments, 4);  // every call sets every position
}

TEST_F(ClockRendererTest, ApplyStyleSwitchesStripsAndRedrawsOnlyWhenAsked)
{
    renderer.ShowTime(now);
    const Picture before = *pictureOf(imgClock.element(1).picture());
    renderer.ApplyStyle(1, false);
    EXPECT_EQ(*pictureOf(imgClock.element(1).picture()), before);
    renderer.ApplyStyle(1, true);
    EXPECT_EQ(colourAt(1, 13, 6) >> 16, 0xFFu);  // 2's top right segment, now red
    EXPECT_EQ(renderer.currentStyle(), 1);
}

TEST_F(ClockRendererTest, BadStyleIsStoredThenFailsWithoutChangingTheStrips)
{
    const runtime::Variant digits = clpDigits.Picture();
    try {
        renderer.ApplyStyle(3, true);
        FAIL() << "no error";
    } catch (const runtime::RuntimeError& error) {
        EXPECT_EQ(error.number(), 340);
        EXPECT_EQ(error.description(), u"Control array element '3' doesn't exist");
    }
    EXPECT_EQ(renderer.currentStyle(), 3);
    EXPECT_EQ(clpDigits.Picture(), digits);
}

TEST_F(ClockRendererTest, FailureInsideShowTimeStopsThereAndKeepsThePhase)
{
    renderer.ShowTime({0, 0, 0});
    const auto phase = renderer.colonPhase();
    const int before6 = imgClock.element(6).assignments;
    imgClock.element(4).failNext = true;
    EXPECT_THROW(renderer.ShowTime({11, 11, 11}), runtime::RuntimeError);
    EXPECT_EQ(renderer.colonPhase(), phase);
    EXPECT_EQ(imgClock.element(6).assignments, before6);
    EXPECT_EQ(*pictureOf(imgClock.element(0).picture()), *pictureOf(clpDigits.GraphicCell(1)));
}

TEST(PictureClipTest, CutsEqualCellsAndKeepsItsCounts)
{
    PictureClip clip;
    clip.setCols(8);
    clip.setPicture(pictureVariant(stripImage(strips::drawPunctuationStrip(0))));
    EXPECT_EQ(clip.Cols(), 8);
    const Picture cell = *pictureOf(clip.GraphicCell(7));
    EXPECT_EQ(cell.width(), 5);
    EXPECT_EQ(cell.height(), 27);
    EXPECT_THROW(clip.GraphicCell(8), runtime::RuntimeError);
    runtime::Variant index(std::int16_t{2});
    const auto viaDispatch = controls::dispatchGet(clip, PictureClip::kGraphicCell, std::span(&index, 1));
    EXPECT_EQ(*pictureOf(viaDispatch), *pictureOf(clip.GraphicCell(2)));
    controls::dispatchPut(clip, PictureClip::kPicture, pictureVariant(stripImage(strips::drawPunctuationStrip(1))));
    EXPECT_EQ(runtime::toLong(controls::dispatchGet(clip, PictureClip::kCols)), 8);

    // A picture narrower than its columns has no cells to hand out.
    clip.setPicture(pictureVariant(Picture(7, 27, std::vector<std::uint32_t>(7 * 27))));
    EXPECT_EQ(errorOf([&] { clip.GraphicCell(0); }), 481);
}

}  // namespace
