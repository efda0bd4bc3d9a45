#include "clock/picture_clip.h"

#include "clock/picture.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"

namespace {

constexpr int kInvalidPropertyValue = 380;
constexpr int kInvalidPicture = 481;

}  // namespace

PictureClip::PictureClip()
{
    using runtime::Variant;
    m_members.addProperty(
        kPicture, u"Picture", [this] { return m_picture; }, [this](const Variant& v) { setPicture(v); });
    m_members.addProperty(
        kRows, u"Rows", [this] { return Variant(m_rows); },
        [this](const Variant& v) { setRows(runtime::toInteger(v)); });
    m_members.addProperty(
        kCols, u"Cols", [this] { return Variant(m_cols); },
        [this](const Variant& v) { setCols(runtime::toInteger(v)); });
    m_members.addIndexedProperty(kGraphicCell, u"GraphicCell", [this](std::span<Variant> args) {
        if (args.size() != 1)
            throw runtime::RuntimeError(runtime::error::kWrongNumberOfArguments);
        return GraphicCell(runtime::toInteger(args[0]));
    });
}

void PictureClip::setPicture(const runtime::Variant& picture)
{
    pictureOf(picture);  // only pictures are taken
    m_picture = picture;
}

void PictureClip::setRows(std::int16_t rows)
{
    if (rows < 1)
        throw runtime::RuntimeError(kInvalidPropertyValue, u"Invalid property value");
    m_rows = rows;
}

void PictureClip::setCols(std::int16_t cols)
{
    if (cols < 1)
        throw runtime::RuntimeError(kInvalidPropertyValue, u"Invalid property value");
    m_cols = cols;
}

runtime::Variant PictureClip::GraphicCell(std::int16_t index) const
{
    if (m_picture.isEmpty())
        throw runtime::RuntimeError(kInvalidPicture, u"Invalid picture");
    if (index < 0 || index >= m_rows * m_cols)
        throw runtime::RuntimeError(kInvalidPropertyValue, u"Invalid property value");
    const ::Picture& source = *pictureOf(m_picture);
    const int width = source.width() / m_cols;
    const int height = source.height() / m_rows;
    // A picture smaller than its grid has cells without pixels: no picture to hand out.
    if (width == 0 || height == 0)
        throw runtime::RuntimeError(kInvalidPicture, u"Invalid picture");
    return pictureVariant(source.copy((index % m_cols) * width, (index / m_cols) * height, width, height));
}

runtime::Variant PictureClip::invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args)
{
    return m_members.invoke(id, kind, args);
}
