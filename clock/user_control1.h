#pragma once

#include "clock/clock_renderer.h"
#include "clock/clock_window.h"
#include "clock/painted_elements.h"
#include "clock/picture_clip.h"
#include "platform/controls/dispatch.h"
#include "platform/controls/user_control.h"

#include <cstdint>
#include <functional>
#include <memory>

// The colour sets of the clock, as the type library names them.
enum renk : std::int32_t { Yesil = 0, Kirmizi = 1, Mavi = 2 };

// UserControl1: a digital clock showing the local time in seven-segment pictures, redrawn by
// its own timer ("Timer1") once a second, in the colour set chosen by `Style`. Its window is
// the system's (ClockWindow), sized to the control's extent, which a container sets through
// setExtent. Lives on the container's user-interface thread.
class UserControl1 : public controls::UserControl, public controls::Dispatch {
public:
    static constexpr controls::DispId kStyleId = 0x68030000;
    static constexpr int kDesignWidth = 4800;  // twips
    static constexpr int kDesignHeight = 3600;
    static constexpr std::chrono::milliseconds kTimerInterval{1000};

    // Runs the creation sequence. `now` gives the local time (the system clock by default);
    // `makeWindow` makes the window it shows in. Throws std::runtime_error when a strip picture
    // is missing from the library's resources.
    explicit UserControl1(std::function<ClockTime()> now = {}, const ClockWindowFactory& makeWindow = makeClockWindow);
    ~UserControl1() override;

    std::int32_t Style() const { return m_Style; }
    // Stores, notifies the container, then converts to 16 bits (6 "Overflow") and applies the
    // style (340 for an index without strips); raises to the caller.
    void setStyle(std::int32_t New_Style);

    runtime::Variant invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args) override;

    int extentWidth() const noexcept override;
    int extentHeight() const noexcept override;

    const ClockRenderer& renderer() const { return m_renderer; }
    ClockWindow& window() { return *m_window; }
    // The clock row as the window shows it, from the control's top-left corner.
    Picture clockRow() const { return imgClock.compose(); }

protected:
    void initProperties() override;
    // "Style", left out at its default 0. A stored value that cannot be applied leaves the
    // default in force and fails nothing: a form must open whatever one control holds.
    void readProperties(const controls::PropertyStore& store) override;
    // Saves the Style in force, never one that was refused.
    void writeProperties(controls::PropertyStore& store) override;
    void keepExtent(int width, int height) override;

private:
    // The tick of Timer1: shows the time now.
    void Timer1_Timer();
    // Converts the Style value to 16 bits and applies it, redrawing at once.
    void applyStyleValue();

    PictureClip clpDigits;
    PictureClip clpPunctuation;
    OwnedElementArray imgDigits;
    OwnedElementArray imgPunctuation;
    OwnedElementArray imgClock;

    std::function<ClockTime()> m_now;
    ClockRenderer m_renderer;
    controls::DispatchTable m_members;
    std::int32_t m_Style = 0;
    std::int32_t m_styleInForce = 0;  // the last Style that was applied
    std::unique_ptr<ClockWindow> m_window;
    int m_width = 0;  // pixels: the extent, which the window shows
    int m_height = 0;
};
