#include "platform/inet/internet_posix.h"
#include "tests/support/processes.h"
#include "tests/support/updater_fakes.h"
#include "updater/controls_qt.h"
#include "updater/frmGuncel_qt.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The title the window manager shows: the window's _NET_WM_NAME, as xprop reads it.
std::string shownTitle(const QWidget& window)
{
    const std::string output = commandOutput("xprop -id " + std::to_string(window.winId()) + " _NET_WM_NAME");
    const auto open = output.find('"');
    const auto close = output.rfind('"');
    return open == std::string::npos || close == open ? output : output.substr(open + 1, close - open - 1);
}

// Reads the title of the message box that `show` opens, then closes it.
std::string titleOfBox(const std::function<void()>& show)
{
    std::string title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box && box->isVisible() && title.empty()) {
            title = shownTitle(*box);
            box->close();
        }
    });
    poll.start(10);
    show();
    return title;
}

TEST(WindowTitles, AreExactlyTheStoredOnesOnTheScreen)
{
    QCoreApplication::setApplicationName(QStringLiteral("updatelirvane"));
    Log log;
    inet::CurlInternet internet;
    RecordingBoxes recorded{log};
    RecordingShell shell{log};
    FakeInet1 inet1{log};
    FakeBrowser browser{log};
    frmGuncel window{UpdaterSetup{internet, shell, inet1, browser, u"updates.example", u"www.example"},
                     UpdaterProgram{recorded, [](int) {}, u"/nowhere"}};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(shownTitle(window), "Velkora Lirvane Güncelleme");

    QtMessageBoxes boxes(&window);
    EXPECT_EQ(titleOfBox([&] { boxes.show(u"text", u"Güncelleme Hatası", MessageIcon::Critical); }),
              "Güncelleme Hatası");
    EXPECT_EQ(titleOfBox([&] { boxes.show(u"text", u"", MessageIcon::Exclamation); }), "updatelirvane");
}

}  // namespace
