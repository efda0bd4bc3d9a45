#pragma once

#include "platform/runtime/variant.h"

// Image elements of the control framework as the clock uses them: an element shows one picture
// at its own left and top, at the picture's size. Positions are in twips.
class ImageElement {
public:
    virtual ~ImageElement() = default;
    virtual runtime::Variant picture() const = 0;
    // Shows `picture` (a picture object) and takes its size.
    virtual void setPicture(const runtime::Variant& picture) = 0;
    virtual float left() const = 0;
    virtual float width() const = 0;
    virtual void setLeft(float left) = 0;
    virtual void setVisible(bool visible) = 0;
};

// An element array (imgClock(0), imgClock(1), ...) that can grow at run time.
class ElementArray {
public:
    virtual ~ElementArray() = default;
    // Raises 340 "Control array element 'i' doesn't exist" for an index without an element.
    virtual ImageElement& at(int index) = 0;
    // Creates element `index`: hidden, with the settings of element 0.
    virtual void load(int index) = 0;
};
