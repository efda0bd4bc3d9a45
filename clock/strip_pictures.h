#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The clock's strip pictures, drawn as 4-bit Windows BMP files with the standard 16-colour
// palette: digit strips of 11 cells (0 to 9, then the empty digit) of 18 x 27 pixels, and
// punctuation strips of 8 cells of 5 x 27 pixels (dot at the bottom, colon, dot at the top and
// a bar, each lit and then dim). Lit segments in the style's bright colour, unlit ones in its
// dim colour, on black.
namespace strips {

inline constexpr int kStyles = 3;
inline constexpr int kCellHeight = 27;
inline constexpr int kDigitCellWidth = 18;
inline constexpr int kDigitCells = 11;
inline constexpr int kPunctuationCellWidth = 5;
inline constexpr int kPunctuationCells = 8;

// Palette indexes of the standard 16 colours used here.
struct StyleColours {
    std::uint8_t lit;
    std::uint8_t dim;
};
StyleColours coloursOf(int style);

std::vector<std::uint8_t> drawDigitStrip(int style);
std::vector<std::uint8_t> drawPunctuationStrip(int style);
// The toolbox picture: 16 x 15 pixels, 24 bits per pixel.
std::vector<std::uint8_t> drawToolboxBitmap();

// The file names the clock's resources use ("digits0.bmp", "punctuation2.bmp").
std::string digitStripName(int style);
std::string punctuationStripName(int style);

// RGB of a palette index of the standard 16-colour palette.
std::uint32_t paletteColour(std::uint8_t index);

}  // namespace strips
