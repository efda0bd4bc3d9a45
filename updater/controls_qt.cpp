#include "updater/controls_qt.h"

#include <QColor>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
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

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = contentsRect().intersected(QRect(QPoint(0, 0), sizeHint()));
    focus.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

QString windowsColourName(unsigned colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF))
        .name();
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setAlignment(Qt::AlignCenter);
}

void ProgressBar::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void ProgressBar::setColours(unsigned foreColour, unsigned barColour)
{
    setStyleSheet(QStringLiteral("QProgressBar { color: %1; border: 1px solid #808080; background: white; }"
                                 "QProgressBar::chunk { background-color: %2; }")
                      .arg(windowsColourName(foreColour), windowsColourName(barColour)));
}

StatusBar::StatusBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    layout->addStretch(1);
}

void StatusBar::addPanel(int width, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setFixedWidth(width);
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(2, 0, 2, 0);
    auto* box = static_cast<QHBoxLayout*>(layout());
    box->insertWidget(box->count() - 1, label);
    m_panels.push_back(label);
}

QLabel* StatusBar::panel(int index) const
{
    if (index < 1 || index > panelCount())
        return nullptr;
    return m_panels[static_cast<std::size_t>(index - 1)];
}

QString StatusBar::panelText(int index) const
{
    const QLabel* label = panel(index);
    return label ? label->text() : QString();
}

void StatusBar::setPanelText(int index, const QString& text)
{
    if (QLabel* label = panel(index))
        label->setText(text);
}

void QtMessageBoxes::show(const std::u16string& text, const std::u16string& title, MessageIcon icon)
{
    const QMessageBox::Icon shown = icon == MessageIcon::Information   ? QMessageBox::Information
                                    : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                                       : QMessageBox::Critical;
    // A box without a title of its own shows the application's name ("updatelirvane").
    QMessageBox box(shown, title.empty() ? QCoreApplication::applicationName() : QString::fromStdU16String(title),
                    QString::fromStdU16String(text), QMessageBox::Ok, m_parent);
    box.exec();
}
