#pragma once

#include "platform/runtime/variant.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

// A picture object (what IPictureDisp is to a COM container) as a Variant carries it: pixels
// as 0xRRGGBB, row by row from the top, on either system.
class Picture : public runtime::Object {
public:
    Picture(int width, int height, std::vector<std::uint32_t> pixels);
    int width() const { return m_width; }
    int height() const { return m_height; }
    std::uint32_t pixel(int x, int y) const { return m_pixels[static_cast<std::size_t>(y * m_width + x)]; }
    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }
    // The part at (x, y) of `width` x `height`, which must lie within the picture.
    Picture copy(int x, int y, int width, int height) const;
    friend bool operator==(const Picture& a, const Picture& b)
    {
        return a.m_width == b.m_width && a.m_height == b.m_height && a.m_pixels == b.m_pixels;
    }

private:
    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_pixels;
};

// The picture a Variant holds; raises 13 "Type mismatch" for anything else.
std::shared_ptr<const Picture> pictureOf(const runtime::Variant& value);
runtime::Variant pictureVariant(Picture picture);

// The picture of a BMP file's bytes, decoded by the system's own image code; an empty picture
// (0 x 0) when the bytes are no picture.
Picture decodeBitmap(std::span<const std::byte> bytes);

// A copy of the bytes of one of the clock's own pictures ("digits0.bmp", "toolbox30000.bmp")
// as the library holds them among its resources; empty when it holds none of that name.
std::vector<std::byte> clockResource(std::string_view name);
