#include "clock/clock_renderer.h"

#include "clock/picture_clip.h"
#include "platform/runtime/runtime_error.h"

#include <cstdio>

namespace {

constexpr std::int16_t kEmptyDigit = 10;
constexpr std::int16_t kPlaceholderColon = 0;
constexpr std::int16_t kColonLit = 2;
constexpr std::int16_t kColonDim = 3;

runtime::Variant cellPicture(controls::Dispatch& slicer, std::int16_t cell)
{
    runtime::Variant index(cell);
    return controls::dispatchGet(slicer, PictureClip::kGraphicCell, std::span<runtime::Variant>(&index, 1));
}

}  // namespace

std::u16string formatClockTime(const ClockTime& time)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d ", time.hour % 100, time.minute % 100, time.second % 100);
    return std::u16string(text, text + 9);
}

CellChoice cellFor(char16_t character, int position, bool colonLit)
{
    using Strip = CellChoice::Strip;
    if (character == u':')
        return {Strip::Punctuation, colonLit ? kColonLit : kColonDim};
    // Only a leading zero of the hour is left empty.
    if (position == 1 && character == u'0')
        return {Strip::Digits, kEmptyDigit};
    return {Strip::Digits, static_cast<std::int16_t>(character - u'0')};
}

std::array<CellChoice, 8> cellsFor(const ClockTime& time, bool colonLit)
{
    const std::u16string text = formatClockTime(time);
    std::array<CellChoice, 8> cells{};
    for (int position = 1; position <= 8; ++position)
        cells[static_cast<std::size_t>(position - 1)] =
            cellFor(text[static_cast<std::size_t>(position - 1)], position, colonLit);
    return cells;
}

ClockRenderer::ClockRenderer(controls::Dispatch& clpDigits, controls::Dispatch& clpPunctuation, ElementArray& imgDigits,
                             ElementArray& imgPunctuation, ElementArray& imgClock, std::function<ClockTime()> now)
    : m_clpDigits(clpDigits)
    , m_clpPunctuation(clpPunctuation)
    , m_imgDigits(imgDigits)
    , m_imgPunctuation(imgPunctuation)
    , m_imgClock(imgClock)
    , m_now(std::move(now))
{
}

void ClockRenderer::ApplyStyle(std::int16_t style, bool redraw)
{
    m_style = style;
    controls::dispatchPut(m_clpDigits, PictureClip::kPicture, m_imgDigits.at(m_style).picture());
    controls::dispatchPut(m_clpPunctuation, PictureClip::kPicture, m_imgPunctuation.at(m_style).picture());
    if (redraw)
        ShowTime(m_now());
}

void ClockRenderer::ShowTime(const ClockTime& time)
{
    const std::u16string text = formatClockTime(time);
    for (int position = 1; position <= 8; ++position) {
        const CellChoice choice =
            cellFor(text[static_cast<std::size_t>(position - 1)], position, static_cast<bool>(m_colonPhase));
        controls::Dispatch& slicer = choice.strip == CellChoice::Strip::Digits ? m_clpDigits : m_clpPunctuation;
        m_imgClock.at(position - 1).setPicture(cellPicture(slicer, choice.cell));
    }
    m_colonPhase = runtime::Bool16(!static_cast<bool>(m_colonPhase));
}

void ClockRenderer::buildClockRow()
{
    m_imgClock.at(0).setPicture(cellPicture(m_clpDigits, 0));
    for (int i = 1; i <= 7; ++i) {
        m_imgClock.load(i);
        ImageElement& element = m_imgClock.at(i);
        const bool colon = i == 2 || i == 5;
        element.setPicture(colon ? cellPicture(m_clpPunctuation, kPlaceholderColon) : cellPicture(m_clpDigits, 0));
        ImageElement& previous = m_imgClock.at(i - 1);
        // Lefts are summed in single precision, in twips, as a container stores them.
        element.setLeft(previous.left() + previous.width());
        element.setVisible(true);
    }
}
