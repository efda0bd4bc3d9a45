#include "clock/user_control1.h"
#include "platform/controls/property_bag.h"
#include "platform/runtime/runtime_error.h"
#include "tests/support/recording_site.h"

#include <QImage>
#include <QTimer>
#include "tests/support/error_of.h"

#include <gtest/gtest.h>

namespace {

class UserControl1Test : public testing::Test {
protected:
    UserControl1Test()
    {
        control.setSite(&site);
        control.initNew();
        control.show();
    }

    // The colour shown at a pixel of the control's window.
    QRgb shown(int x, int y) { return control.grab().toImage().pixel(x, y); }
    QTimer* timer() { return control.findChild<QTimer*>(QStringLiteral("Timer1")); }
    // A tick of Timer1, as its timeout delivers it.
    void tick() { QMetaObject::invokeMethod(timer(), "timeout"); }

    std::vector<std::string> log;
    RecordingSite site{log};
    ClockTime now{12, 38, 58};
    UserControl1 control{[this] { return now; }};
};

// Pixel (x, y) of segment g of the hour-units digit "2", and of the upper colon dot.
constexpr QPoint kSegmentG{18 + 8, 13};
constexpr QPoint kSegmentE{18 + 3, 18};  // lit in "2"
constexpr QPoint kSegmentF{18 + 3, 6};   // unlit in "2"
constexpr QPoint kColonDot{36 + 2, 9};
constexpr QPoint kGround{18 + 0, 0};

TEST_F(UserControl1Test, NewControlShowsGreenDigitsAndDimColons)
{
    EXPECT_EQ(control.Style(), 0);
    EXPECT_EQ(control.size(), QSize(320, 240));
    ASSERT_NE(timer(), nullptr);
    EXPECT_EQ(timer()->interval(), 1000);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(shown(kSegmentE.x(), kSegmentE.y()), qRgb(0, 0xFF, 0));
    EXPECT_EQ(shown(kColonDot.x(), kColonDot.y()), qRgb(0, 0x80, 0));  // creation draws them dim
    EXPECT_EQ(shown(kGround.x(), kGround.y()), qRgb(0, 0, 0));
    EXPECT_EQ(shown(kSegmentF.x(), kSegmentF.y()), qRgb(0, 0x80, 0));  // unlit in "2": dim
    EXPECT_EQ(control.renderer().colonPhase(), runtime::True);
}

TEST_F(UserControl1Test, StyleOneTurnsRedAtOnceAndNotifies)
{
    control.setStyle(Kirmizi);
    EXPECT_EQ(log, std::vector<std::string>{"changed Style"});
    EXPECT_EQ(shown(kSegmentE.x(), kSegmentE.y()), qRgb(0xFF, 0, 0));
    EXPECT_EQ(shown(kColonDot.x(), kColonDot.y()), qRgb(0xFF, 0, 0));  // the second drawing: lit
    control.setStyle(Mavi);
    EXPECT_EQ(shown(kSegmentE.x(), kSegmentE.y()), qRgb(0, 0xFF, 0xFF));
    EXPECT_EQ(shown(kSegmentG.x(), kSegmentG.y()), qRgb(0, 0xFF, 0xFF));
}

TEST_F(UserControl1Test, PuttingTheSameValueAgainNotifiesAndRedraws)
{
    const auto phase = control.renderer().colonPhase();
    controls::dispatchPut(control, UserControl1::kStyleId, std::int32_t{0});
    EXPECT_EQ(log, std::vector<std::string>{"changed Style"});
    EXPECT_NE(control.renderer().colonPhase(), phase);
}

TEST_F(UserControl1Test, BadValuesFailAfterStoringAndNotifying)
{
    control.setStyle(Kirmizi);
    log.clear();
    for (const std::int32_t bad : {3, -1}) {
        EXPECT_EQ(errorOf([&] { control.setStyle(bad); }), 340);
        EXPECT_EQ(control.Style(), bad);
        EXPECT_EQ(shown(kSegmentE.x(), kSegmentE.y()), qRgb(0xFF, 0, 0));
    }
    EXPECT_EQ(errorOf([&] { controls::dispatchPut(control, UserControl1::kStyleId, std::int32_t{40000}); }), 6);
    EXPECT_EQ(control.Style(), 40000);
    EXPECT_EQ(log.size(), 3u);

    // The clock keeps ticking in the previous colours; a good value recovers fully.
    now = {13, 0, 0};
    tick();
    EXPECT_EQ(shown(1 * 18 + 13, 6), qRgb(0xFF, 0, 0));  // the "1" of 13, red
    control.setStyle(Yesil);
    EXPECT_EQ(shown(1 * 18 + 13, 6), qRgb(0, 0xFF, 0));
}

TEST_F(UserControl1Test, StyleSurvivesSaveAndRestore)
{
    controls::PropertyBag bag;
    control.save(bag);
    EXPECT_TRUE(bag.entries().empty());  // the default is left out

    control.setStyle(Mavi);
    control.save(bag);
    UserControl1 restored([this] { return now; });
    restored.load(bag);
    EXPECT_EQ(restored.Style(), Mavi);
    EXPECT_EQ(restored.grab().toImage().pixel(kSegmentE), qRgb(0, 0xFF, 0xFF));

    // A stored value that cannot be applied fails no form's load: the default stays in force.
    for (const std::int32_t stored : {3, 70000}) {
        UserControl1 bad([this] { return now; });
        EXPECT_EQ(errorOf([&] { bad.load(controls::PropertyBag({{u"Style", stored}})); }), 0);
        EXPECT_EQ(bad.Style(), Yesil);
        EXPECT_EQ(bad.grab().toImage().pixel(kSegmentE), qRgb(0, 0xFF, 0));
    }
    // Nor is a refused value ever saved.
    EXPECT_EQ(errorOf([&] { restored.setStyle(3); }), 340);
    controls::PropertyBag again;
    restored.save(again);
    EXPECT_EQ(again.entries(), bag.entries());
}

TEST_F(UserControl1Test, TheExtentIsTheControlsSizeAndMovesNothing)
{
    const QRect last = control.findChildren<QLabel*>().back()->geometry();
    control.setExtent(1500, 600);
    EXPECT_EQ(control.extentWidth(), 1500);
    EXPECT_EQ(control.extentHeight(), 600);
    EXPECT_EQ(control.size(), QSize(100, 40));
    EXPECT_EQ(control.findChildren<QLabel*>().back()->geometry(), last);
    EXPECT_EQ(control.findChildren<QLabel*>().size(), 8);
}

TEST_F(UserControl1Test, EachInstanceTicksOnItsOwn)
{
    UserControl1 other([this] { return now; });
    const auto mine = control.renderer().colonPhase();
    const auto theirs = other.renderer().colonPhase();
    tick();
    EXPECT_NE(control.renderer().colonPhase(), mine);
    EXPECT_EQ(other.renderer().colonPhase(), theirs);
}

}  // namespace
