#pragma once

#include <QPushButton>
#include <QRect>

// Stands in for a command button with a picture: the picture stands above the caption and
// both fit the button's own size, whatever the style's margins; the focus frame shows which
// button has the keyboard; Return and Enter press the focused button as Space does.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

    // Where the picture and the caption are drawn: the picture centred above a caption line
    // of the font's full height, the two together centred in the button's contents.
    QRect pictureRect() const;
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect contentsArea() const;
};
