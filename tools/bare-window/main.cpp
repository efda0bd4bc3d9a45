// A bare Qt window of the updater's size and kind: the floor that the updater's start-up
// time is measured against (scripts/benchmark-update). With --text it shows one line of text,
// and so pays for the font database as every window with text does.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(401, 206);
    if (argc == 2 && std::strcmp(argv[1], "--text") == 0)
        new QLabel(QStringLiteral("Velkora Lirvane Güncelleme"), &window);
    window.show();
    return application.exec();
}
