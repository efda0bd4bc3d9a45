#include "clock/strip_pictures.h"

#include <array>
#include <stdexcept>

namespace strips {

namespace {

// The standard 16-colour palette, in the order of the BMP colour table (as 0xRRGGBB).
constexpr std::array<std::uint32_t, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

constexpr std::uint8_t kBlack = 0;

struct Rect {
    int x, y, w, h;
};

// Segments a to g in a cell of 18 x 27: a top, b top right, c bottom right, d bottom,
// e bottom left, f top left, g middle.
constexpr std::array<Rect, 7> kSegments = {{
    {5, 2, 8, 2},
    {13, 4, 2, 8},
    {13, 15, 2, 8},
    {5, 23, 8, 2},
    {3, 15, 2, 8},
    {3, 4, 2, 8},
    {5, 12, 8, 3},
}};

// Lit segments of each digit, bit 0 for a to bit 6 for g; cell 10 has none.
constexpr std::array<std::uint8_t, 11> kDigitSegments = {
    0b0111111, 0b0000110, 0b1011011, 0b1001111, 0b1100110, 0b1101101,
    0b1111101, 0b0000111, 0b1111111, 0b1101111, 0b0000000,
};

// Appends little-endian values, as the BMP format stores them.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : m_out(out) {}
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint32_t v)
    {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }

private:
    std::vector<std::uint8_t>& m_out;
};

// The file header and BITMAPINFOHEADER of an uncompressed, bottom-up BMP.
void writeBmpHeaders(ByteWriter& out, int width, int height, int bitsPerPixel, int offset, int imageSize)
{
    out.u8('B');
    out.u8('M');
    out.u32(static_cast<std::uint32_t>(offset + imageSize));
    out.u32(0);
    out.u32(static_cast<std::uint32_t>(offset));
    out.u32(40);
    out.u32(static_cast<std::uint32_t>(width));
    out.u32(static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
    out.u16(1);
    out.u16(static_cast<std::uint32_t>(bitsPerPixel));
    out.u32(0);  // no compression
    out.u32(static_cast<std::uint32_t>(imageSize));
    out.u32(0);
    out.u32(0);
    out.u32(0);
    out.u32(0);
}

class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height), m_pixels(width * height, kBlack) {}

    void fill(const Rect& r, int offsetX, std::uint8_t colour)
    {
        for (int y = r.y; y < r.y + r.h; ++y) {
            for (int x = r.x; x < r.x + r.w; ++x)
                m_pixels[static_cast<std::size_t>(y * m_width + offsetX + x)] = colour;
        }
    }

    std::vector<std::uint8_t> bmp() const
    {
        const int rowBytes = ((m_width * 4 + 31) / 32) * 4;
        const int imageSize = rowBytes * m_height;
        const int offset = 14 + 40 + 16 * 4;
        std::vector<std::uint8_t> out;
        ByteWriter writer(out);
        writeBmpHeaders(writer, m_width, m_height, 4, offset, imageSize);
        for (const std::uint32_t rgb : kPalette) {
            out.push_back(static_cast<std::uint8_t>(rgb));
            out.push_back(static_cast<std::uint8_t>(rgb >> 8));
            out.push_back(static_cast<std::uint8_t>(rgb >> 16));
            out.push_back(0);
        }
        for (int y = m_height - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
            for (int x = 0; x < m_width; ++x) {
                const std::uint8_t index = m_pixels[static_cast<std::size_t>(y * m_width + x)];
                row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
            }
            out.insert(out.end(), row.begin(), row.end());
        }
        return out;
    }

private:
    int m_width;
    int m_height;
    std::vector<std::uint8_t> m_pixels;
};

}  // namespace

StyleColours coloursOf(int style)
{
    switch (style) {
    case 0: return {10, 2};  // 00FF00 on 008000
    case 1: return {9, 1};   // FF0000 on 800000
    case 2: return {14, 6};  // 00FFFF on 008080
    default: throw std::out_of_range("no such style");
    }
}

std::uint32_t paletteColour(std::uint8_t index)
{
    return kPalette.at(index);
}

std::vector<std::uint8_t> drawDigitStrip(int style)
{
    const StyleColours colours = coloursOf(style);
    Canvas canvas(kDigitCellWidth * kDigitCells, kCellHeight);
    for (int cell = 0; cell < kDigitCells; ++cell) {
        for (int segment = 0; segment < 7; ++segment) {
            const bool lit = (kDigitSegments[static_cast<std::size_t>(cell)] >> segment) & 1;
            canvas.fill(kSegments[static_cast<std::size_t>(segment)], cell * kDigitCellWidth,
                        lit ? colours.lit : colours.dim);
        }
    }
    return canvas.bmp();
}

std::vector<std::uint8_t> drawPunctuationStrip(int style)
{
    const StyleColours colours = coloursOf(style);
    Canvas canvas(kPunctuationCellWidth * kPunctuationCells, kCellHeight);
    // Figures of the four pairs: a dot at the bottom, a colon, a dot at the top, a bar.
    const std::array<std::vector<Rect>, 4> figures = {{
        {{1, 22, 3, 3}},
        {{1, 8, 3, 3}, {1, 17, 3, 3}},
        {{1, 2, 3, 3}},
        {{2, 2, 1, 23}},
    }};
    for (int pair = 0; pair < 4; ++pair) {
        for (int dim = 0; dim < 2; ++dim) {
            const int cell = pair * 2 + dim;
            for (const Rect& r : figures[static_cast<std::size_t>(pair)])
                canvas.fill(r, cell * kPunctuationCellWidth, dim ? colours.dim : colours.lit);
        }
    }
    return canvas.bmp();
}

std::vector<std::uint8_t> drawToolboxBitmap()
{
    constexpr int width = 16;
    constexpr int height = 15;
    constexpr int rowBytes = ((width * 24 + 31) / 32) * 4;
    std::vector<std::uint8_t> out;
    ByteWriter writer(out);
    writeBmpHeaders(writer, width, height, 24, 54, rowBytes * height);
    // A black face with a green "88" of two small seven-segment digits.
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const bool border = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            const int cx = x < 8 ? x - 2 : x - 9;
            const bool segment =
                y >= 3 && y <= 11 && cx >= 0 && cx <= 4 && (cx == 0 || cx == 4 || y == 3 || y == 7 || y == 11);
            std::uint32_t rgb = border ? 0x808080 : segment ? 0x00FF00 : 0x000000;
            out.push_back(static_cast<std::uint8_t>(rgb));
            out.push_back(static_cast<std::uint8_t>(rgb >> 8));
            out.push_back(static_cast<std::uint8_t>(rgb >> 16));
        }
        for (int pad = width * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

std::string digitStripName(int style)
{
    return "digits" + std::to_string(style) + ".bmp";
}

std::string punctuationStripName(int style)
{
    return "punctuation" + std::to_string(style) + ".bmp";
}

}  // namespace strips
