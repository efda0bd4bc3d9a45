#include "updater/progress_bar_qt.h"

#include <QColor>

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
