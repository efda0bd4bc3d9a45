#pragma once

#include "clock/image_elements.h"
#include "clock/picture.h"

#include <memory>
#include <vector>

// Image elements as the clock's window shows them: each a picture at its left and top, at the
// picture's size, painted by the window (on either system) from what compose() gives.
class PaintedElement : public ImageElement {
public:
    runtime::Variant picture() const override { return m_picture; }
    void setPicture(const runtime::Variant& picture) override;
    float left() const override { return m_left; }
    float width() const override;
    void setLeft(float left) override { m_left = left; }
    void setVisible(bool visible) override { m_visible = visible; }
    float top() const { return m_top; }
    bool visible() const { return m_visible; }

private:
    runtime::Variant m_picture;
    float m_left = 0;  // twips
    float m_top = 0;
    bool m_visible = true;
};

// A hidden element that only holds a picture (the strip holders).
class HeldPicture : public ImageElement {
public:
    explicit HeldPicture(runtime::Variant picture) : m_picture(std::move(picture)) {}
    runtime::Variant picture() const override { return m_picture; }
    void setPicture(const runtime::Variant& picture) override { m_picture = picture; }
    float left() const override { return 0; }
    float width() const override { return 0; }
    void setLeft(float) override {}
    void setVisible(bool) override {}

private:
    runtime::Variant m_picture;
};

// An element array over elements it owns; `load` makes painted elements like element 0.
class OwnedElementArray : public ElementArray {
public:
    void add(std::unique_ptr<ImageElement> element) { m_elements.push_back(std::move(element)); }
    ImageElement& at(int index) override;
    void load(int index) override;
    int count() const { return static_cast<int>(m_elements.size()); }

    // What the visible painted elements show from the top-left corner, as large as they reach
    // (0 x 0 when none shows), on black.
    Picture compose() const;

private:
    std::vector<std::unique_ptr<ImageElement>> m_elements;
};
