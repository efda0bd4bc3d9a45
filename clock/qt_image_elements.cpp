#include "clock/qt_image_elements.h"

#include "clock/picture.h"
#include "platform/controls/twips.h"
#include "platform/runtime/runtime_error.h"

#include <QPixmap>
#include <cmath>

namespace {

constexpr auto kTwipsPerPixel = static_cast<float>(controls::kTwipsPerPixel);

}  // namespace

void LabelImageElement::setPicture(const runtime::Variant& picture)
{
    const QImage& image = pictureOf(picture)->image();
    m_picture = picture;
    m_label->setPixmap(QPixmap::fromImage(image));
    m_label->resize(image.size());
}

float LabelImageElement::left() const
{
    return static_cast<float>(m_label->x()) * kTwipsPerPixel;
}

float LabelImageElement::width() const
{
    return static_cast<float>(m_label->width()) * kTwipsPerPixel;
}

void LabelImageElement::setLeft(float left)
{
    m_label->move(static_cast<int>(std::lround(left / kTwipsPerPixel)), m_label->y());
}

void LabelImageElement::setVisible(bool visible)
{
    m_label->setVisible(visible);
}

ImageElement& OwnedElementArray::at(int index)
{
    if (index < 0 || index >= count() || !m_elements[static_cast<std::size_t>(index)])
        throw runtime::controlArrayElementMissing(index);
    return *m_elements[static_cast<std::size_t>(index)];
}

void OwnedElementArray::load(int index)
{
    if (index < 0 || (index < count() && m_elements[static_cast<std::size_t>(index)]))
        throw runtime::RuntimeError(360, u"Object already loaded");
    auto* first = dynamic_cast<LabelImageElement*>(&at(0));
    auto* label = new QLabel(m_parent);
    if (first)
        label->setGeometry(first->label()->geometry());
    label->hide();
    if (index >= count())
        m_elements.resize(static_cast<std::size_t>(index) + 1);
    m_elements[static_cast<std::size_t>(index)] = std::make_unique<LabelImageElement>(label);
}
