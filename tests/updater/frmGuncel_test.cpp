#include "platform/inet/internet_posix.h"
#include "tests/support/named_widget.h"
#include "tests/support/updater_fakes.h"
#include "updater/frmGuncel_qt.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class FrmGuncelTest : public testing::Test {
protected:
    ~FrmGuncelTest() override { std::filesystem::remove_all(m_folder); }

    static std::filesystem::path makeFolder()
    {
        auto folder = std::filesystem::temp_directory_path() / ("frmGuncel " + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        return folder;
    }

    std::filesystem::path m_folder = makeFolder();
    Log log;
    inet::CurlInternet internet;
    RecordingBoxes boxes{log};
    RecordingShell shell{log};
    FakeInet1 inet1{log};
    FakeBrowser browser{log};
    frmGuncel window{
        UpdaterSetup{internet, shell, inet1, browser, u"updates.example", u"www.example"},
        UpdaterProgram{boxes, [this](int) { log.push_back("end"); }, runtime::fromUtf8(m_folder.string())}};
    PictureButton* basla = named<PictureButton>(window, "basla");
    PictureButton* btniptal = named<PictureButton>(window, "btniptal");
    PictureButton* cmdClose = named<PictureButton>(window, "cmdClose");
    QLabel* lblBilgi = named<QLabel>(window, "lblBilgi");
    LinkLabel* lblActive = named<LinkLabel>(window, "lblActive");
    QGroupBox* Frame2 = named<QGroupBox>(window, "Frame2");
    ProgressBar* pbar = named<ProgressBar>(window, "pbar");
    StatusBar* bar1 = named<StatusBar>(window, "bar1");
};

TEST_F(FrmGuncelTest, WindowSettings)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Velkora Lirvane Güncelleme"));
    EXPECT_EQ(window.size(), QSize(401, 206));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // cannot be resized
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window.windowIcon().isNull());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(window.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window.geometry().center().y() - screen.center().y()), 1);
}

TEST_F(FrmGuncelTest, ControlsStackInTheirStoredOrderAndOnlyThoseWithAWindowShow)
{
    // A later control lies above an earlier one; the download control and the readers have
    // no window.
    QStringList stacked;
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->objectName().isEmpty())
            stacked << child->objectName();
    }
    const QStringList expected = {"Frame2", "btniptal", "cmdClose", "basla", "bar1", "lblBilgi", "lblActive"};
    EXPECT_EQ(stacked, expected);
}

TEST_F(FrmGuncelTest, TextsAreExactlyAsStored)
{
    EXPECT_EQ(basla->text(), QStringLiteral("Şimdi Güncelle"));
    EXPECT_EQ(btniptal->text(), QStringLiteral(" İptal"));
    EXPECT_EQ(cmdClose->text(), QStringLiteral("Kapat"));
    EXPECT_EQ(lblBilgi->text(), QStringLiteral("Güncellemeyi başlatmak için Şimdi Güncelle butonuna basınız"));
    EXPECT_EQ(lblActive->text(), QStringLiteral("Programın Tamamını İndirmek için buraya tıklayınız"));
    EXPECT_TRUE(Frame2->title().isEmpty());
}

TEST_F(FrmGuncelTest, GeometryComesFromTwipsAt15PerPixel)
{
    struct Expected {
        QWidget* widget;
        QRect rect;
    };
    const Expected table[] = {
        {Frame2, {8, 24, 361, 49}},      {pbar, {8, 16, 345, 25}},   {btniptal, {132, 104, 113, 49}},
        {cmdClose, {256, 104, 113, 49}}, {basla, {8, 104, 113, 49}}, {bar1, {0, 189, 401, 17}},
    };
    for (const auto& row : table)
        EXPECT_EQ(row.widget->geometry(), row.rect) << row.widget->objectName().toStdString();
    EXPECT_EQ(lblActive->pos(), QPoint(8, 160));
    EXPECT_GE(lblActive->width(), 234);
    EXPECT_EQ(lblBilgi->pos(), QPoint(8, 80));
    EXPECT_EQ(pbar->parentWidget(), Frame2);
}

TEST_F(FrmGuncelTest, InitialStates)
{
    window.show();
    EXPECT_TRUE(basla->isEnabled());
    EXPECT_TRUE(cmdClose->isEnabled());
    EXPECT_FALSE(btniptal->isEnabled());
    EXPECT_FALSE(lblBilgi->isVisible());
    EXPECT_TRUE(lblActive->isVisible());
    EXPECT_EQ(bar1->panelCount(), 1);
    EXPECT_EQ(bar1->panel(1)->width(), 399);
    EXPECT_TRUE(bar1->panelText(1).isEmpty());
    EXPECT_TRUE(pbar->caption().isEmpty());
}

TEST_F(FrmGuncelTest, FontsAndColours)
{
    for (QWidget* bold :
         {static_cast<QWidget*>(basla), static_cast<QWidget*>(btniptal), static_cast<QWidget*>(cmdClose),
          static_cast<QWidget*>(lblBilgi), static_cast<QWidget*>(pbar)}) {
        EXPECT_TRUE(bold->font().bold()) << bold->objectName().toStdString();
        EXPECT_DOUBLE_EQ(bold->font().pointSizeF(), 8.25);
    }
    EXPECT_FALSE(lblActive->font().bold());
    EXPECT_EQ(lblActive->palette().color(QPalette::WindowText), QColor(0, 0, 0xC0));
    EXPECT_EQ(lblActive->cursor().hotSpot(), QPoint(12, 1));
    EXPECT_EQ(lblActive->cursor().pixmap().size(), QSize(32, 32));
    EXPECT_EQ(basla->iconSize(), QSize(32, 32));
    EXPECT_FALSE(basla->icon().isNull());
    EXPECT_TRUE(pbar->styleSheet().contains("#c0ffff"));
    EXPECT_TRUE(pbar->isTextVisible());
}

TEST_F(FrmGuncelTest, PictureAndCaptionFitTheStoredButtonSize)
{
    for (PictureButton* button : {basla, btniptal, cmdClose}) {
        const QRect picture = button->pictureRect();
        const QRect caption = button->captionRect();
        EXPECT_EQ(picture.size(), QSize(32, 32));
        EXPECT_TRUE(button->rect().contains(picture));
        EXPECT_TRUE(button->rect().contains(caption));
        EXPECT_LT(picture.bottom(), caption.top());
        // The caption's tallest glyph (the dot of " İptal") stays inside its line.
        const QFontMetrics metrics(button->font());
        EXPECT_GE(metrics.ascent() + metrics.tightBoundingRect(button->text()).top(), 0)
            << button->text().toStdString();
    }
}

TEST_F(FrmGuncelTest, TheFocusedButtonShowsItAndReturnPressesIt)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // A keyboard user moves the focus with Tab; the focus frame shows from then on.
    basla->setFocus();
    const QImage unfocused = cmdClose->grab().toImage();
    QTest::keyClick(&window, Qt::Key_Tab);
    ASSERT_TRUE(cmdClose->hasFocus());
    EXPECT_NE(cmdClose->grab().toImage(), unfocused);
    QTest::keyClick(cmdClose, Qt::Key_Return);
    EXPECT_EQ(log, Log{"end"});
}

TEST_F(FrmGuncelTest, TabOrderFollowsTheStoredIndexes)
{
    const auto nextTabStop = [](QWidget* widget) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    EXPECT_EQ(nextTabStop(basla), cmdClose);
    EXPECT_EQ(nextTabStop(cmdClose), btniptal);
    EXPECT_EQ(nextTabStop(btniptal), lblActive);
    EXPECT_EQ(nextTabStop(lblActive), basla);
}

TEST_F(FrmGuncelTest, LinkLabelOpensTheVendorSiteByMouseAndByKeyboard)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(basla->hasFocus());
    QTest::mouseClick(lblActive, Qt::LeftButton);
    EXPECT_EQ(log, Log{"open http://www.example"});
    basla->setFocus();
    const QImage unfocused = lblActive->grab().toImage();
    QTest::keyClick(&window, Qt::Key_Tab);
    QTest::keyClick(&window, Qt::Key_Tab);  // " İptal" cannot take it
    ASSERT_TRUE(lblActive->hasFocus());
    EXPECT_NE(lblActive->grab().toImage(), unfocused);
    QTest::keyClick(lblActive, Qt::Key_Return);
    QTest::keyClick(lblActive, Qt::Key_Space);
    EXPECT_EQ(log, (Log{"open http://www.example", "open http://www.example", "open http://www.example"}));
}

TEST_F(FrmGuncelTest, ClosingAfterACancelDeletesThePartialDownload)
{
    std::ofstream(m_folder / "VelkoraLirvane_down.exe") << "part";
    window.show();
    btniptal->setEnabled(true);
    QTest::mouseClick(btniptal, Qt::LeftButton);
    EXPECT_EQ(bar1->panelText(1), QStringLiteral("Güncelleme iptal edildi"));
    EXPECT_FALSE(btniptal->isEnabled());
    EXPECT_TRUE(std::filesystem::exists(m_folder / "VelkoraLirvane_down.exe"));
    QTest::keyClick(&window, Qt::Key_Escape);  // as the close box
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(std::filesystem::exists(m_folder / "VelkoraLirvane_down.exe"));
}

TEST_F(FrmGuncelTest, CloseButtonEndsTheProgram)
{
    window.show();
    QTest::mouseClick(cmdClose, Qt::LeftButton);
    EXPECT_EQ(log, Log{"end"});
}

}  // namespace
