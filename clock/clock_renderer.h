#pragma once

#include "clock/image_elements.h"
#include "platform/controls/dispatch.h"
#include "platform/runtime/boolean.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// A local time of day.
struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The time as the pattern "hh:mm:ss " formats it: nine characters, the last a blank.
std::u16string formatClockTime(const ClockTime& time);

// Which strip and cell shows a character of the time text at `position` (1-based).
struct CellChoice {
    enum class Strip { Digits, Punctuation };
    Strip strip;
    std::int16_t cell;
    friend bool operator==(const CellChoice&, const CellChoice&) = default;
};
CellChoice cellFor(char16_t character, int position, bool colonLit);

// The eight cells of the clock row for a time and colon phase.
std::array<CellChoice, 8> cellsFor(const ClockTime& time, bool colonLit);

// The digit rendering of the clock control: two slicers cut the strips of the current style,
// and eight image elements show the cells of the time. Slicers are reached by their dispatch
// identifiers, the elements through their arrays. A failure stops an operation where it
// happens and passes to the caller; state already changed stays changed.
class ClockRenderer {
public:
    ClockRenderer(controls::Dispatch& clpDigits, controls::Dispatch& clpPunctuation, ElementArray& imgDigits,
                  ElementArray& imgPunctuation, ElementArray& imgClock, std::function<ClockTime()> now);

    // Stores the style, gives both slicers its strips and, when `redraw`, shows the time now.
    void ApplyStyle(std::int16_t style, bool redraw);
    // Sets all eight pictures for `time`, then inverts the colon phase.
    void ShowTime(const ClockTime& time);
    // Once, after ApplyStyle(0, false): the placeholders, laid edge to edge and shown.
    void buildClockRow();

    std::int16_t currentStyle() const { return m_style; }
    runtime::Bool16 colonPhase() const { return m_colonPhase; }

private:
    controls::Dispatch& m_clpDigits;
    controls::Dispatch& m_clpPunctuation;
    ElementArray& m_imgDigits;
    ElementArray& m_imgPunctuation;
    ElementArray& m_imgClock;
    std::function<ClockTime()> m_now;
    std::int16_t m_style = 0;
    runtime::Bool16 m_colonPhase = runtime::False;
};
