#include "updater/window_layout.h"

#include <gtest/gtest.h>

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

}  // namespace
