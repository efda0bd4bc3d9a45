#include "updater/status_bar_qt.h"

#include <QHBoxLayout>

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
