#pragma once

#include "clock/picture.h"

#include <windows.h>

// How the clock looks on Windows, in its own window and wherever a container asks the control
// to draw itself: the system's face colour as the ground, and the clock row at the top-left
// corner of `bounds`, never drawn beyond them. The row's pixels are of 96 dots per inch; at
// `dpi` each is drawn as large in inches.
void paintClock(HDC dc, const RECT& bounds, const Picture& row, int dpi);
