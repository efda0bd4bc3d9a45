#pragma once

#include "clock/picture.h"

#include <cstdint>
#include <memory>

// A top-level window of the system (a Qt widget, a Win32 window) at the screen's top-left
// corner, for a test to place a control's window in and read back what the screen shows.
class WindowStage {
public:
    WindowStage(int width, int height);
    ~WindowStage();
    WindowStage(const WindowStage&) = delete;
    WindowStage& operator=(const WindowStage&) = delete;

    // What a control's window is placed in: a QWidget* or an HWND.
    void* parent();
    // Shows the stage, has it painted whole, and reads the pixels the system shows of
    // (x, y, width, height) of it.
    Picture capture(int x, int y, int width, int height);
    // The colour of the system's ground for controls (0xRRGGBB).
    std::uint32_t ground() const;

private:
    struct System;
    std::unique_ptr<System> m_system;
};
