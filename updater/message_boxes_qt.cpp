#include "updater/message_boxes_qt.h"

#include <QCoreApplication>
#include <QMessageBox>

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
