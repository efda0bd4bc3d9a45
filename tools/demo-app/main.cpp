// The demo's stand-in for the vendor's application: a window that shows which version it is,
// so that the demo can show the updater replacing it.
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstring>

#ifndef DEMO_APP_VERSION
#error "DEMO_APP_VERSION must name the version"
#endif

int main(int argc, char* argv[])
{
    // "--version" answers without a window, so that the demo can tell which version is installed.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("Velkora Lirvane " DEMO_APP_VERSION);
        return 0;
    }
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Velkora Lirvane " DEMO_APP_VERSION));
    auto* layout = new QVBoxLayout(&window);
    auto* name = new QLabel(QStringLiteral("Velkora Lirvane"), &window);
    auto* version = new QLabel(QStringLiteral("Sürüm " DEMO_APP_VERSION), &window);
    QFont font = name->font();
    font.setPointSize(20);
    font.setBold(true);
    name->setFont(font);
    font.setPointSize(28);
    version->setFont(font);
    version->setStyleSheet(QStringLiteral("color: " DEMO_APP_COLOUR));
    for (QLabel* label : {name, version}) {
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    window.resize(360, 200);
    window.show();
    return application.exec();
}
