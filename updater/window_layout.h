#pragma once

#include "platform/controls/property_bag.h"
#include "updater/update_view.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The stored layout of a window (JSON, positions and sizes in twips), read and checked in
// full before any window is made: a layout that reads is one either view can be built from.
// Texts are UTF-16; a picture is named by the stem of its file ("basla" for "…/basla.png"),
// which each view finds among its own resources.
struct FontLayout {
    std::u16string name;
    double size = 0;
    bool bold = false;
    friend bool operator==(const FontLayout&, const FontLayout&) = default;
};

// What a stored control is; the layout names each kind by the component it was made with.
enum class ControlKind {
    CommandButton,  // "VB.CommandButton"
    Label,          // "VB.Label"
    Frame,          // "VB.Frame": groups the controls it holds
    ProgressBar,    // "vbalProgBarLib6.vbalProgressBar"
    StatusBar,      // "MSComctlLib.StatusBar"
    WebBrowser,     // "SHDocVwCtl.WebBrowser": the page reader
    InternetFile,   // "updatelirvanePlus.InternetFile": the download control
    Inet,           // "InetCtlsObjects.Inet": the text reader
};

// Whether a view shows a control of `kind`: the download control and the two readers work for
// the core and have no window.
constexpr bool shownInWindow(ControlKind kind)
{
    return kind != ControlKind::WebBrowser && kind != ControlKind::InternetFile && kind != ControlKind::Inet;
}

struct ControlLayout {
    std::u16string name;
    ControlKind kind = ControlKind::Label;
    std::u16string caption;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::optional<int> tabIndex;
    std::optional<FontLayout> font;
    bool enabled = true;
    bool visible = true;
    std::u16string picture;             // a button's picture
    std::optional<unsigned> foreColor;  // a label's text colour, 0x00BBGGRR
    std::u16string mouseIcon;           // a label's cursor picture
    std::pair<int, int> mouseIconHotSpot{0, 0};
    std::vector<std::pair<int, std::u16string>> panels;    // a status bar's panels: width, text
    nlohmann::json properties = nlohmann::json::object();  // the component's own stored data
    std::vector<ControlLayout> controls;                   // a container's contents
    friend bool operator==(const ControlLayout&, const ControlLayout&) = default;
};

struct WindowLayout {
    std::u16string name;
    std::u16string caption;
    std::u16string icon;
    FontLayout font;
    int clientWidth = 0;
    int clientHeight = 0;
    std::vector<ControlLayout> controls;  // in creation order
    friend bool operator==(const WindowLayout&, const WindowLayout&) = default;
};

// Reads a layout; nullopt and the reason in `error` when it is no layout: not JSON, a field
// of the wrong type, an unknown kind, a name missing or used twice, a number out of range,
// nesting deeper than a window's.
std::optional<WindowLayout> parseWindowLayout(std::string_view json, std::string& error);

// The layout the updater's window is made from, built into the program; a layout that does
// not read ends the program with its reason (it is part of the program, not of its input).
const WindowLayout& storedWindowLayout();

// What a control's stored data holds for the component itself: its persisted values as a
// property bag (keys with a leading "_" belong to the container: extents), a number (0 when
// there is none) and a flag (false when there is none).
controls::PropertyBag storedPropertiesOf(const ControlLayout& control);
double storedNumber(const ControlLayout& control, const char* key);
bool storedFlag(const ControlLayout& control, const char* key);

// A control of the window as both views make it, its role among the controls the window works
// with read from its stored name.
struct ShownControl {
    const ControlLayout* layout;
    int container;  // the frame holding it, as an index into the walk; -1 for the window
    int left;       // in twips from the window's client area (the layout's are from the container)
    int top;
    std::optional<Button> button;  // one of the window's three buttons
    bool link;                     // lblActive: a label the keyboard reaches and presses
    bool takesFocus;               // in the tab order: the three buttons and the link
};

// The controls a view makes, in the layout's order with each frame before its contents; the
// windowless kinds are left out. Throws std::logic_error when the layout lacks one of the
// controls the window works with: its three buttons, the link, the progress bar, the status bar.
std::vector<ShownControl> shownControls(const WindowLayout& layout);

// The walk's controls that take the focus, as indices into it, in the layout's tab order.
std::vector<std::size_t> tabOrder(const std::vector<ShownControl>& controls);

// A label shows its whole text: in a font wider than the one the layout was made with, it grows
// beyond its stored width rather than cut the text.
constexpr bool growsToText(ControlKind kind)
{
    return kind == ControlKind::Label;
}

// The range of the progress bar for the maximum the core sets, and where it shows `value`: a
// value beyond the range at the range's end rather than not at all.
constexpr std::int32_t progressMaximum(std::int32_t maximum)
{
    return maximum < 0 ? 0 : maximum;
}
constexpr std::int32_t progressPosition(std::int32_t value, std::int32_t maximum)
{
    return std::clamp(value, 0, progressMaximum(maximum));
}
