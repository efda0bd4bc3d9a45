#pragma once

#include <QLabel>

// Stands in for a label used as a link: a stop of the tab order that shows the focus frame
// around its text while it has the keyboard.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
