#include "clock/user_control1.h"
#include "platform/controls/property_bag.h"
#include "platform/runtime/runtime_error.h"
#include "tests/support/error_of.h"
#include "tests/support/recording_site.h"

#include <gtest/gtest.h>

namespace {

// What a control asked of its window, shared with the test after the control took the window.
struct WindowRecord {
    std::chrono::milliseconds interval{};
    std::function<void()> tick;
    int width = 0;
    int height = 0;
    int invalidations = 0;
};

class RecordingWindow : public ClockWindow {
public:
    explicit RecordingWindow(WindowRecord& record) : m_record(record) {}
    void startTimer(std::chrono::milliseconds interval, std::function<void()> tick) override
    {
        m_record.interval = interval;
        m_record.tick = std::move(tick);
    }
    void invalidate() override { ++m_record.invalidations; }
    void resize(int width, int height) override
    {
        m_record.width = width;
        m_record.height = height;
    }
    bool place(void*) override { return true; }
    void withdraw() override {}
    void* nativeWindow() override { return this; }

private:
    WindowRecord& m_record;
};

class UserControl1Test : public testing::Test {
protected:
    UserControl1Test()
    {
        control.setSite(&site);
        control.initNew();
    }

    std::unique_ptr<UserControl1> makeControl(WindowRecord& record)
    {
        return std::make_unique<UserControl1>(
            [this] { return now; }, [&record](ClockRowSource) { return std::make_unique<RecordingWindow>(record); });
    }
    // The colour the window shows at a pixel of the clock row.
    std::uint32_t shown(int x, int y) const { return control.clockRow().pixel(x, y); }
    void tick() { window.tick(); }

    std::vector<std::string> log;
    RecordingSite site{log};
    ClockTime now{12, 38, 58};
    WindowRecord window;
    std::unique_ptr<UserControl1> owned = makeControl(window);
    UserControl1& control = *owned;
};

// Pixel (x, y) of segments of the hour-units digit "2", and of the upper colon dot.
struct Point {
    int x;
    int y;
};
constexpr Point kSegmentG{18 + 8, 13};
constexpr Point kSegmentE{18 + 3, 18};  // lit in "2"
constexpr Point kSegmentF{18 + 3, 6};   // unlit in "2"
constexpr Point kColonDot{36 + 2, 9};
constexpr Point kGround{18 + 0, 0};

TEST_F(UserControl1Test, NewControlShowsGreenDigitsAndDimColons)
{
    EXPECT_EQ(control.Style(), 0);
    EXPECT_EQ(window.width, 320);
    EXPECT_EQ(window.height, 240);
    EXPECT_EQ(window.interval, std::chrono::milliseconds(1000));
    ASSERT_TRUE(window.tick);
    EXPECT_EQ(control.clockRow().width(), 118);
    EXPECT_EQ(control.clockRow().height(), 27);
    EXPECT_EQ(shown(kSegmentE.x, kSegmentE.y), 0x00FF00u);
    EXPECT_EQ(shown(kColonDot.x, kColonDot.y), 0x008000u);  // creation draws them dim
    EXPECT_EQ(shown(kGround.x, kGround.y), 0x000000u);
    EXPECT_EQ(shown(kSegmentF.x, kSegmentF.y), 0x008000u);  // unlit in "2": dim
    EXPECT_EQ(control.renderer().colonPhase(), runtime::True);
}

TEST_F(UserControl1Test, StyleOneTurnsRedAtOnceAndNotifies)
{
    const int invalidations = window.invalidations;
    control.setStyle(Kirmizi);
    EXPECT_EQ(log, std::vector<std::string>{"changed Style"});
    EXPECT_GT(window.invalidations, invalidations);
    EXPECT_EQ(shown(kSegmentE.x, kSegmentE.y), 0xFF0000u);
    EXPECT_EQ(shown(kColonDot.x, kColonDot.y), 0xFF0000u);  // the second drawing: lit
    control.setStyle(Mavi);
    EXPECT_EQ(shown(kSegmentE.x, kSegmentE.y), 0x00FFFFu);
    EXPECT_EQ(shown(kSegmentG.x, kSegmentG.y), 0x00FFFFu);
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
        EXPECT_EQ(shown(kSegmentE.x, kSegmentE.y), 0xFF0000u);
    }
    EXPECT_EQ(errorOf([&] { controls::dispatchPut(control, UserControl1::kStyleId, std::int32_t{40000}); }), 6);
    EXPECT_EQ(control.Style(), 40000);
    EXPECT_EQ(log.size(), 3u);

    // The clock keeps ticking in the previous colours; a good value recovers fully.
    now = {13, 0, 0};
    tick();
    EXPECT_EQ(shown(1 * 18 + 13, 6), 0xFF0000u);  // the "1" of 13, red
    control.setStyle(Yesil);
    EXPECT_EQ(shown(1 * 18 + 13, 6), 0x00FF00u);
}

TEST_F(UserControl1Test, StyleSurvivesSaveAndRestore)
{
    controls::PropertyBag bag;
    control.save(bag);
    EXPECT_TRUE(bag.entries().empty());  // the default is left out

    control.setStyle(Mavi);
    control.save(bag);
    WindowRecord restoredWindow;
    auto restored = makeControl(restoredWindow);
    restored->load(bag);
    EXPECT_EQ(restored->Style(), Mavi);
    EXPECT_EQ(restored->clockRow().pixel(kSegmentE.x, kSegmentE.y), 0x00FFFFu);

    // A stored value that cannot be applied fails no form's load: the default stays in force.
    for (const std::int32_t stored : {3, 70000}) {
        WindowRecord badWindow;
        auto bad = makeControl(badWindow);
        EXPECT_EQ(errorOf([&] { bad->load(controls::PropertyBag({{u"Style", stored}})); }), 0);
        EXPECT_EQ(bad->Style(), Yesil);
        EXPECT_EQ(bad->clockRow().pixel(kSegmentE.x, kSegmentE.y), 0x00FF00u);
    }
    // Nor is a refused value ever saved.
    EXPECT_EQ(errorOf([&] { restored->setStyle(3); }), 340);
    controls::PropertyBag again;
    restored->save(again);
    EXPECT_EQ(again.entries(), bag.entries());
}

TEST_F(UserControl1Test, TheExtentIsTheWindowsSizeAndMovesNothing)
{
    const Picture row = control.clockRow();
    control.setExtent(1500, 600);
    EXPECT_EQ(control.extentWidth(), 1500);
    EXPECT_EQ(control.extentHeight(), 600);
    EXPECT_EQ(window.width, 100);
    EXPECT_EQ(window.height, 40);
    EXPECT_EQ(control.clockRow(), row);
}

TEST_F(UserControl1Test, EachInstanceTicksOnItsOwn)
{
    WindowRecord otherWindow;
    auto other = makeControl(otherWindow);
    const auto mine = control.renderer().colonPhase();
    const auto theirs = other->renderer().colonPhase();
    tick();
    EXPECT_NE(control.renderer().colonPhase(), mine);
    EXPECT_EQ(other->renderer().colonPhase(), theirs);
}

}  // namespace
