#include "clock/painted_elements.h"

#include "platform/controls/twips.h"
#include "platform/runtime/runtime_error.h"

#include <algorithm>
#include <cmath>

namespace {

int pixels(float twips)
{
    return static_cast<int>(std::lround(twips / static_cast<float>(controls::kTwipsPerPixel)));
}

}  // namespace

void PaintedElement::setPicture(const runtime::Variant& picture)
{
    pictureOf(picture);  // only pictures are shown
    m_picture = picture;
}

float PaintedElement::width() const
{
    return m_picture.isEmpty() ? 0.0f : static_cast<float>(pictureOf(m_picture)->width() * controls::kTwipsPerPixel);
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
    auto element = std::make_unique<PaintedElement>();
    if (const auto* first = dynamic_cast<PaintedElement*>(&at(0)))
        element->setLeft(first->left());
    element->setVisible(false);
    if (index >= count())
        m_elements.resize(static_cast<std::size_t>(index) + 1);
    m_elements[static_cast<std::size_t>(index)] = std::move(element);
}

Picture OwnedElementArray::compose() const
{
    int width = 0;
    int height = 0;
    for (const auto& element : m_elements) {
        const auto* painted = dynamic_cast<const PaintedElement*>(element.get());
        if (!painted || !painted->visible() || painted->picture().isEmpty())
            continue;
        const auto picture = pictureOf(painted->picture());
        width = std::max(width, pixels(painted->left()) + picture->width());
        height = std::max(height, pixels(painted->top()) + picture->height());
    }
    std::vector<std::uint32_t> canvas(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    for (const auto& element : m_elements) {
        const auto* painted = dynamic_cast<const PaintedElement*>(element.get());
        if (!painted || !painted->visible() || painted->picture().isEmpty())
            continue;
        const auto picture = pictureOf(painted->picture());
        const int left = pixels(painted->left());
        const int top = pixels(painted->top());
        for (int y = 0; y < picture->height(); ++y) {
            for (int x = 0; x < picture->width(); ++x)
                canvas[static_cast<std::size_t>((top + y) * width + left + x)] = picture->pixel(x, y);
        }
    }
    return Picture(width, height, std::move(canvas));
}
