#pragma once

// The units in which containers store the positions and sizes of controls.
namespace controls {

// Twips (1/1440 inch) on a display of 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kTwipsPerInch = 1440;

// Twips as pixels of a display of `dpi` dots per inch, rounded, and back.
inline constexpr int pixelsAt(int twips, int dpi)
{
    return (twips * dpi + (twips < 0 ? -kTwipsPerInch : kTwipsPerInch) / 2) / kTwipsPerInch;
}
inline constexpr int twipsAt(int pixels, int dpi)
{
    return dpi > 0 ? (pixels * kTwipsPerInch + dpi / 2) / dpi : pixels * kTwipsPerPixel;
}

// HIMETRIC (1/100 mm), the unit of stored extents of outside controls, in twips, rounded.
inline constexpr int twipsFromHimetric(double himetric)
{
    const double twips = himetric * 1440 / 2540;
    return static_cast<int>(twips < 0 ? twips - 0.5 : twips + 0.5);
}

}  // namespace controls
