#pragma once

#include "clock/image_elements.h"

#include <QLabel>
#include <memory>
#include <vector>

// An image element shown as a label on the control's window.
class LabelImageElement : public ImageElement {
public:
    // The label is owned by its parent widget.
    explicit LabelImageElement(QLabel* label) : m_label(label) {}
    runtime::Variant picture() const override { return m_picture; }
    void setPicture(const runtime::Variant& picture) override;
    float left() const override;
    float width() const override;
    void setLeft(float left) override;
    void setVisible(bool visible) override;
    QLabel* label() const { return m_label; }

private:
    QLabel* m_label;
    runtime::Variant m_picture;
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

// An element array over elements it owns; `load` makes labels on `parent` like element 0.
class OwnedElementArray : public ElementArray {
public:
    explicit OwnedElementArray(QWidget* parent = nullptr) : m_parent(parent) {}
    void add(std::unique_ptr<ImageElement> element) { m_elements.push_back(std::move(element)); }
    ImageElement& at(int index) override;
    void load(int index) override;
    int count() const { return static_cast<int>(m_elements.size()); }

private:
    QWidget* m_parent;
    std::vector<std::unique_ptr<ImageElement>> m_elements;
};
