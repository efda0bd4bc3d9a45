#include "clock/picture.h"

#include "platform/runtime/runtime_error.h"

#include <stdexcept>

Picture::Picture(int width, int height, std::vector<std::uint32_t> pixels)
    : m_width(width), m_height(height), m_pixels(std::move(pixels))
{
    if (width < 0 || height < 0
        || m_pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw std::invalid_argument("a picture's pixels do not fill it");
}

Picture Picture::copy(int x, int y, int width, int height) const
{
    std::vector<std::uint32_t> part;
    part.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = y; row < y + height; ++row) {
        const auto first = m_pixels.begin() + static_cast<std::ptrdiff_t>(row * m_width + x);
        part.insert(part.end(), first, first + width);
    }
    return Picture(width, height, std::move(part));
}

std::shared_ptr<const Picture> pictureOf(const runtime::Variant& value)
{
    if (const auto* object = value.get<runtime::ObjectRef>()) {
        if (auto picture = std::dynamic_pointer_cast<const Picture>(*object))
            return picture;
    }
    throw runtime::RuntimeError(runtime::error::kTypeMismatch);
}

runtime::Variant pictureVariant(Picture picture)
{
    return runtime::Variant(runtime::ObjectRef(std::make_shared<Picture>(std::move(picture))));
}
