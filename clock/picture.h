#pragma once

#include "platform/runtime/variant.h"

#include <QImage>
#include <memory>

// A picture object (what IPictureDisp is to a COM container) as a Variant carries it.
class Picture : public runtime::Object {
public:
    explicit Picture(QImage image) : m_image(std::move(image)) {}
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
};

// The picture a Variant holds; raises 13 "Type mismatch" for anything else.
std::shared_ptr<const Picture> pictureOf(const runtime::Variant& value);
runtime::Variant pictureVariant(QImage image);
