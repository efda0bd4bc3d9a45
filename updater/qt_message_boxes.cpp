#include "updater/qt_message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>

void QtMessageBoxes::show(const std::u16string& text, const std::u16string& title, MessageIcon icon)
{
    const QMessageBox::Icon shown = icon == MessageIcon::Information   ? QMessageBox::Information
                                    : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                                       : QMessageBox::Critical;
    QMessageBox box(shown,
                    title.empty() ? QGuiApplication::applicationDisplayName() : QString::fromStdU16String(title),
                    QString::fromStdU16String(text), QMessageBox::Ok, m_parent);
    box.exec();
}
