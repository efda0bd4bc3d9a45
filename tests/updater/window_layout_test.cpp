#include "updater/window_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

TEST(WindowLayout, TheStoredLayoutReadsAndBrokenOnesAreRefused)
{
    const WindowLayout& stored = storedWindowLayout();
    EXPECT_EQ(stored.controls.size(), 10u);  // Frame2 holds pbar
    EXPECT_EQ(stored.controls[2].controls.at(0).name, u"pbar");
    EXPECT_EQ(stored.controls[3].picture, u"btniptal");
    EXPECT_EQ(stored.controls[3].caption, u" İptal");

    const char* broken[] = {
        "not json",
        R"([1, 2])",
        R"({"name": "w", "clientWidth": 10})",
        R"({"name": "w", "clientWidth": 10, "clientHeight": 10, "controls": [{"name": "a", "kind": "VB.Nothing"}]})",
        R"({"name": "w", "clientWidth": 10, "clientHeight": 10, "controls": [{"name": "a", "kind": "VB.Label"},
            {"name": "a", "kind": "VB.Label"}]})",
        R"({"name": "w", "clientWidth": 10, "clientHeight": 1e300})",
        R"({"name": "w", "clientWidth": 10, "clientHeight": 10, "controls": [{"name": "a", "kind": "VB.Label",
            "mouseIconHotSpot": [1]}]})",
        R"({"name": "w", "clientWidth": 10, "clientHeight": 10, "controls": [{"name": "a", "kind": "VB.Frame",
            "controls": [{"name": "b", "kind": "VB.Frame", "controls": [{"name": "c", "kind": "VB.Frame",
            "controls": [{"name": "d", "kind": "VB.Frame", "controls": [{"name": "e", "kind": "VB.Frame",
            "controls": [{"name": "f", "kind": "VB.Frame", "controls": []}]}]}]}]}]}]})",
    };
    for (const char* layout : broken) {
        std::string error;
        EXPECT_FALSE(parseWindowLayout(layout, error)) << layout;
        EXPECT_FALSE(error.empty());
    }
}

TEST(WindowLayout, TheWalkPlacesFramedControlsAndOrdersTheFocus)
{
    const WindowLayout& stored = storedWindowLayout();
    const std::vector<ShownControl> shown = shownControls(stored);
    const auto named = [&](std::u16string_view name) {
        return *std::find_if(shown.begin(), shown.end(), [&](const ShownControl& c) { return c.layout->name == name; });
    };
    const ShownControl& frame = shown[named(u"pbar").container];
    EXPECT_EQ(named(u"pbar").left, frame.left + named(u"pbar").layout->left);
    EXPECT_EQ(named(u"pbar").top, frame.top + named(u"pbar").layout->top);
    EXPECT_TRUE(named(u"lblActive").link);
    EXPECT_EQ(named(u"btniptal").button, Button::btniptal);
    std::vector<std::u16string> focus;
    for (const std::size_t index : tabOrder(shown))
        focus.push_back(shown[index].layout->name);
    EXPECT_EQ(focus, (std::vector<std::u16string>{u"basla", u"cmdClose", u"btniptal", u"lblActive"}));

    WindowLayout withoutLink = stored;
    std::erase_if(withoutLink.controls, [](const ControlLayout& c) { return c.name == u"lblActive"; });
    EXPECT_THROW(shownControls(withoutLink), std::logic_error);

    EXPECT_EQ(progressPosition(-5, 100), 0);
    EXPECT_EQ(progressPosition(150, 100), 100);
    EXPECT_EQ(progressPosition(5, -1), 0);
}

}  // namespace
