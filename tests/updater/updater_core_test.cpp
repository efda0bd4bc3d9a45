#include "tests/support/fake_internet.h"
#include "tests/support/programs.h"
#include "tests/support/updater_fakes.h"
#include "updater/updater_core.h"

#include <gtest/gtest.h>

namespace {

// A view whose status panel fails once when told to, as a window that cannot draw.
class FailingView : public RecordingView {
public:
    using RecordingView::RecordingView;
    bool failNext = false;
    void setStatusText(const std::u16string& text) override
    {
        if (std::exchange(failNext, false))
            throw runtime::RuntimeError(runtime::error::kDeviceIoError);
        RecordingView::setStatusText(text);
    }
};

// The window's logic with no view of either system: the user's actions as the core takes them.
class UpdaterCoreTest : public testing::Test {
protected:
    ~UpdaterCoreTest() override { test_programs::removeFolder(m_folder); }
    UpdaterCore make(bool elevated = false)
    {
        UpdaterSetup setup{internet, shell, inet1, browser, u"updates.example", u"www.example"};
        setup.elevated = elevated;
        return UpdaterCore(setup,
                           UpdaterProgram{boxes, [this](int status) { log.push_back("end " + std::to_string(status)); },
                                          m_folder.u16string()},
                           view);
    }

    std::filesystem::path m_folder = test_programs::testFolder(u"Çekirdek");
    bool m_made = std::filesystem::create_directories(m_folder);
    Log log;
    Log internetCalls;
    FakeInternet internet{internetCalls};
    FailingView view{log};
    RecordingBoxes boxes{log};
    RecordingShell shell{log};
    FakeInet1 inet1{log};
    FakeBrowser browser{log};
};

TEST_F(UpdaterCoreTest, MakesTheDownloadControlWithItsStoredPropertiesAndSize)
{
    const UpdaterCore core = make();
    const InternetFile& ctlIFile = core.downloadControl();
    EXPECT_EQ(ctlIFile.Port(), 80);
    EXPECT_EQ(ctlIFile.ProxyPort(), 8080);
    EXPECT_EQ(ctlIFile.Url(), u"");
    EXPECT_EQ(ctlIFile.extentWidth(), 570);
    EXPECT_EQ(ctlIFile.extentHeight(), 570);
}

TEST_F(UpdaterCoreTest, TheUsersActionsReachTheProcedure)
{
    UpdaterCore core = make();
    EXPECT_FALSE(core.startsAtOnce());
    core.pressLink();
    core.press(Button::btniptal);
    core.press(Button::cmdClose);
    const Log expected = {"open http://www.example",
                          "box exclamation [Velkora] Güncelleme iptal edildi",
                          "caption ",
                          "status Güncelleme iptal edildi",
                          "disable btniptal",
                          "enable basla",
                          "enable cmdClose",
                          "end 0"};
    EXPECT_EQ(log, expected);

    const UpdaterCore writingPart = make(true);
    EXPECT_TRUE(writingPart.startsAtOnce());
    EXPECT_EQ(writingPart.closedStatus(), 1);
}

TEST_F(UpdaterCoreTest, EscapeCancelsWhileCancelCanBePressedAndClosesTheWindowOtherwise)
{
    UpdaterCore core = make();
    std::vector<KeyAction> escapes;
    inet1.answers = {u"2.0", u"a.exe"};
    inet1.onOpen = [&] { escapes.push_back(core.keyAction(Key::Escape, false)); };
    core.press(Button::basla);
    // While the version text is read, " İptal" cannot be pressed; while the name is, it can.
    EXPECT_EQ(escapes, (std::vector<KeyAction>{KeyAction::Close, KeyAction::PressCancel}));
    core.press(Button::btniptal);
    EXPECT_EQ(core.keyAction(Key::Escape, false), KeyAction::Close);
    EXPECT_EQ(core.keyAction(Key::Return, false), KeyAction::None);  // the focused button's own
    EXPECT_EQ(core.keyAction(Key::Space, true), KeyAction::PressLink);
}

TEST_F(UpdaterCoreTest, AnErrorNoStepTrapsIsShownAsTheRunTimeReportsItAndTheWindowGoesOn)
{
    UpdaterCore core = make();
    view.failNext = true;
    core.press(Button::btniptal);
    core.press(Button::cmdClose);
    const Log expected = {"box exclamation [Velkora] Güncelleme iptal edildi", "caption ",
                          "box critical [] Run-time error '57':\r\n\r\nDevice I/O error", "end 0"};
    EXPECT_EQ(log, expected);
}

}  // namespace
