#include "updater/window_layout.h"

#include "platform/runtime/boolean.h"
#include "platform/runtime/text.h"
#include "updater/stored_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>

namespace {

using nlohmann::json;

constexpr int kMaxNesting = 4;
constexpr int kMaxControls = 256;
constexpr double kMaxTwips = 1'000'000;

std::optional<ControlKind> controlKind(std::u16string_view name)
{
    static constexpr std::pair<std::u16string_view, ControlKind> kKinds[] = {
        {u"VB.CommandButton", ControlKind::CommandButton},
        {u"VB.Label", ControlKind::Label},
        {u"VB.Frame", ControlKind::Frame},
        {u"vbalProgBarLib6.vbalProgressBar", ControlKind::ProgressBar},
        {u"MSComctlLib.StatusBar", ControlKind::StatusBar},
        {u"SHDocVwCtl.WebBrowser", ControlKind::WebBrowser},
        {u"updatelirvanePlus.InternetFile", ControlKind::InternetFile},
        {u"InetCtlsObjects.Inet", ControlKind::Inet},
    };
    for (const auto& [stored, kind] : kKinds) {
        if (name == stored)
            return kind;
    }
    return std::nullopt;
}

// Reads one layout, remembering the first fault.
class LayoutReader {
public:
    std::optional<WindowLayout> window(const json& object)
    {
        WindowLayout layout;
        layout.name = text(object, "name", true);
        layout.caption = text(object, "caption");
        layout.icon = stem(text(object, "icon"));
        layout.font = font(object, "font").value_or(FontLayout{});
        layout.clientWidth = twips(object, "clientWidth", true);
        layout.clientHeight = twips(object, "clientHeight", true);
        layout.controls = controls(object, 0);
        if (!m_error.empty())
            return std::nullopt;
        return layout;
    }

    const std::string& error() const { return m_error; }

private:
    void fail(const std::string& reason)
    {
        if (m_error.empty())
            m_error = reason;
    }

    static const json* member(const json& object, const char* key)
    {
        const auto found = object.find(key);
        return found == object.end() ? nullptr : &*found;
    }

    std::u16string text(const json& object, const char* key, bool required = false)
    {
        const json* value = member(object, key);
        if (value && value->is_string() && (!required || !value->get_ref<const std::string&>().empty()))
            return runtime::fromUtf8(value->get_ref<const std::string&>());
        if (value || required)
            fail(std::string("\"") + key + "\" is no text");
        return {};
    }

    // A picture's name: the stem of the file the layout names.
    static std::u16string stem(const std::u16string& path)
    {
        const auto slash = path.find_last_of(u"/\\:");
        std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
        return name.substr(0, name.find_last_of(u'.'));
    }

    // A number within -limit..limit (0..limit when `unsigned_`).
    double number(const json& object, const char* key, bool required, double limit, bool unsigned_ = false)
    {
        const json* value = member(object, key);
        if (!value && !required)
            return 0;
        if (!value || !value->is_number() || !(std::fabs(value->get<double>()) <= limit)
            || (unsigned_ && value->get<double>() < 0)) {
            fail(std::string("\"") + key + "\" is no number in range");
            return 0;
        }
        return value->get<double>();
    }

    int twips(const json& object, const char* key, bool required = false)
    {
        return static_cast<int>(number(object, key, required, kMaxTwips));
    }

    bool flag(const json& object, const char* key, bool fallback)
    {
        const json* value = member(object, key);
        if (!value)
            return fallback;
        if (!value->is_boolean()) {
            fail(std::string("\"") + key + "\" is no Boolean");
            return fallback;
        }
        return value->get<bool>();
    }

    std::optional<FontLayout> font(const json& object, const char* key)
    {
        const json* value = member(object, key);
        if (!value)
            return std::nullopt;
        if (!value->is_object()) {
            fail("a font is no object");
            return std::nullopt;
        }
        return FontLayout{text(*value, "name", true), number(*value, "size", true, 1000), flag(*value, "bold", false)};
    }

    std::vector<ControlLayout> controls(const json& object, int depth)
    {
        std::vector<ControlLayout> list;
        const json* value = member(object, "controls");
        if (!value)
            return list;
        if (!value->is_array() || depth > kMaxNesting) {
            fail("\"controls\" is no list, or lies too deep");
            return list;
        }
        for (const json& entry : *value) {
            if (!entry.is_object() || ++m_count > kMaxControls) {
                fail("a control is no object, or there are too many");
                return list;
            }
            list.push_back(control(entry, depth));
        }
        return list;
    }

    ControlLayout control(const json& object, int depth)
    {
        ControlLayout layout;
        layout.name = text(object, "name", true);
        if (!m_names.insert(layout.name).second)
            fail("the name " + runtime::toUtf8(layout.name) + " is used twice");
        if (const auto kind = controlKind(text(object, "kind", true)))
            layout.kind = *kind;
        else
            fail(runtime::toUtf8(layout.name) + " is of an unknown kind");
        layout.caption = text(object, "caption");
        layout.left = twips(object, "left");
        layout.top = twips(object, "top");
        layout.width = twips(object, "width");
        layout.height = twips(object, "height");
        if (member(object, "tabIndex"))
            layout.tabIndex = static_cast<int>(number(object, "tabIndex", true, 32767));
        layout.font = font(object, "font");
        layout.enabled = flag(object, "enabled", true);
        layout.visible = flag(object, "visible", true);
        layout.picture = stem(text(object, "picture"));
        if (member(object, "foreColor"))
            layout.foreColor = static_cast<unsigned>(number(object, "foreColor", true, 0xFFFFFF, true));
        layout.mouseIcon = stem(text(object, "mouseIcon"));
        if (const json* hotSpot = member(object, "mouseIconHotSpot")) {
            if (!hotSpot->is_array() || hotSpot->size() != 2 || !(*hotSpot)[0].is_number() || !(*hotSpot)[1].is_number()
                || std::fabs((*hotSpot)[0].get<double>()) > 1024 || std::fabs((*hotSpot)[1].get<double>()) > 1024)
                fail("a hot spot is no pair of numbers");
            else
                layout.mouseIconHotSpot = {(*hotSpot)[0].get<int>(), (*hotSpot)[1].get<int>()};
        }
        if (const json* panels = member(object, "panels")) {
            if (!panels->is_array())
                fail("\"panels\" is no list");
            else {
                for (const json& panel : *panels) {
                    if (!panel.is_object()) {
                        fail("a panel is no object");
                        break;
                    }
                    layout.panels.emplace_back(twips(panel, "width", true), text(panel, "text"));
                }
            }
        }
        if (const json* properties = member(object, "properties")) {
            if (!properties->is_object())
                fail("\"properties\" is no object");
            else
                layout.properties = *properties;
        }
        layout.controls = controls(object, depth + 1);
        return layout;
    }

    std::string m_error;
    std::set<std::u16string> m_names;
    int m_count = 0;
};

}  // namespace

std::optional<WindowLayout> parseWindowLayout(std::string_view text, std::string& error)
{
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        error = "no JSON object";
        return std::nullopt;
    }
    LayoutReader reader;
    auto layout = reader.window(document);
    error = reader.error();
    return layout;
}

const WindowLayout& storedWindowLayout()
{
    static const WindowLayout layout = [] {
        std::string error;
        auto stored = parseWindowLayout(stored_layout::kWindowLayout, error);
        if (!stored) {
            std::fprintf(stderr, "The window's stored layout is broken: %s\n", error.c_str());
            std::abort();
        }
        return std::move(*stored);
    }();
    return layout;
}

controls::PropertyBag storedPropertiesOf(const ControlLayout& control)
{
    std::vector<controls::PropertyBag::Entry> entries;
    for (const auto& [key, value] : control.properties.items()) {
        if (key.starts_with('_'))
            continue;
        runtime::Variant variant;
        if (value.is_string())
            variant = runtime::fromUtf8(value.get<std::string>());
        else if (value.is_boolean())
            variant = runtime::Bool16(value.get<bool>());
        else
            variant = value.is_number() ? value.get<double>() : 0.0;
        entries.emplace_back(runtime::fromUtf8(key), variant);
    }
    return controls::PropertyBag(std::move(entries));
}

double storedNumber(const ControlLayout& control, const char* key)
{
    const auto found = control.properties.find(key);
    return found != control.properties.end() && found->is_number() ? found->get<double>() : 0;
}

bool storedFlag(const ControlLayout& control, const char* key)
{
    const auto found = control.properties.find(key);
    return found != control.properties.end() && found->is_boolean() && found->get<bool>();
}

namespace {

// The window's button of that name, when the control is one.
std::optional<Button> buttonOf(const ControlLayout& control)
{
    static constexpr std::pair<std::u16string_view, Button> kButtons[] = {{u"basla", Button::basla},
                                                                          {u"btniptal", Button::btniptal},
                                                                          {u"cmdClose", Button::cmdClose}};
    for (const auto& [name, button] : kButtons) {
        if (control.kind == ControlKind::CommandButton && control.name == name)
            return button;
    }
    return std::nullopt;
}

void walk(const std::vector<ControlLayout>& controls, int container, int originX, int originY,
          std::vector<ShownControl>& shown)
{
    for (const ControlLayout& control : controls) {
        if (!shownInWindow(control.kind))
            continue;
        const bool link = control.kind == ControlKind::Label && control.name == u"lblActive";
        shown.push_back({&control, container, originX + control.left, originY + control.top, buttonOf(control), link,
                         control.kind == ControlKind::CommandButton || link});
        walk(control.controls, static_cast<int>(shown.size()) - 1, shown.back().left, shown.back().top, shown);
    }
}

}  // namespace

std::vector<ShownControl> shownControls(const WindowLayout& layout)
{
    std::vector<ShownControl> shown;
    walk(layout.controls, -1, 0, 0, shown);
    const auto once = [&](auto&& is) { return std::count_if(shown.begin(), shown.end(), is) == 1; };
    const auto kind = [](ControlKind wanted) {
        return [=](const ShownControl& c) { return c.layout->kind == wanted; };
    };
    const auto button = [](Button wanted) { return [=](const ShownControl& c) { return c.button == wanted; }; };
    if (!once(button(Button::basla)) || !once(button(Button::btniptal)) || !once(button(Button::cmdClose))
        || !once([](const ShownControl& c) { return c.link; }) || !once(kind(ControlKind::ProgressBar))
        || !once(kind(ControlKind::StatusBar)))
        throw std::logic_error("the window's stored layout lacks one of its working controls");
    return shown;
}

std::vector<std::size_t> tabOrder(const std::vector<ShownControl>& controls)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].takesFocus && controls[i].layout->tabIndex)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return *controls[a].layout->tabIndex < *controls[b].layout->tabIndex;
    });
    return order;
}
