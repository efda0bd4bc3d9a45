#pragma once

#include "updater/update_view.h"

class QWidget;

// Message boxes as modal Qt dialogs over the window.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
};
