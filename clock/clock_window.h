#pragma once

#include "clock/clock_renderer.h"
#include "clock/picture.h"

#include <chrono>
#include <functional>
#include <memory>

// The window of a clock control, on the system it runs on (a Qt widget, a Win32 window): it
// shows the clock row that the control composes at its top-left corner on the system's
// ground, and runs the control's timer. Sizes are in pixels. A container may destroy the
// window with its own: the control then goes on without one, and place() fails.
class ClockWindow {
public:
    // The largest side a window has on either system (Qt's limit for a widget).
    static constexpr int kLargestSide = (1 << 24) - 1;

    virtual ~ClockWindow() = default;
    // Runs `tick` every `interval` from now on, on the window's thread.
    virtual void startTimer(std::chrono::milliseconds interval, std::function<void()> tick) = 0;
    // The clock row changed: show it anew.
    virtual void invalidate() = 0;
    // The window's size in pixels of 96 dots per inch (15 twips a pixel); a window shown at
    // another resolution is as large in inches.
    virtual void resize(int width, int height) = 0;
    // Places the window at the top-left corner of a container's window (a QWidget* or an
    // HWND) and shows it; false when the window is gone.
    virtual bool place(void* parent) = 0;
    // Takes the window out of its container's window and hides it, to be placed again.
    virtual void withdraw() = 0;
    // The system's window (the QWidget*, the HWND); nullptr when it is gone.
    virtual void* nativeWindow() = 0;
};

// What the window shows: the clock row, composed anew each time the window is painted.
using ClockRowSource = std::function<Picture()>;
using ClockWindowFactory = std::function<std::unique_ptr<ClockWindow>(ClockRowSource row)>;

// The window of this system.
std::unique_ptr<ClockWindow> makeClockWindow(ClockRowSource row);

// The local time of day, as the system tells it.
ClockTime localTimeOfDay();
