#include "updater/picture_button_qt.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

PictureButton::PictureButton(QWidget* parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

QRect PictureButton::contentsArea() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

QRect PictureButton::pictureRect() const
{
    const QRect area = contentsArea();
    const int lineHeight = fontMetrics().height();
    const QSize picture = iconSize();
    // Spare height goes above and below; a button too small for both keeps the caption whole
    // and lets the picture's top give way.
    const int top = area.top() + std::max(0, area.height() - picture.height() - lineHeight) / 2;
    const int bottom = std::min(top + picture.height(), area.bottom() + 1 - lineHeight);
    return QRect(area.left() + (area.width() - picture.width()) / 2, bottom - picture.height(), picture.width(),
                 picture.height());
}

QRect PictureButton::captionRect() const
{
    const QRect area = contentsArea();
    return QRect(area.left(), pictureRect().bottom() + 1, area.width(), fontMetrics().height());
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    QRect picture = pictureRect();
    QRect caption = captionRect();
    if (isDown()) {
        const QPoint shift(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        picture.translate(shift);
        caption.translate(shift);
    }
    // The picture may reach into the margins, never under the caption.
    painter.setClipRect(rect().adjusted(0, 0, 0, -(rect().bottom() - caption.top() + 1)));
    icon().paint(&painter, picture, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter.setClipping(false);
    painter.drawItemText(caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, palette(), isEnabled(),
                         text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = contentsArea().adjusted(-1, -1, 1, 1);
        focus.backgroundColor = palette().color(QPalette::Button);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void PictureButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
