#include <QApplication>
#include <gtest/gtest.h>

// Widget tests run inside one application object for the whole executable: headless unless
// the test names a platform (a real X server, for what only a window manager can read).
int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
