#pragma once

#include "platform/runtime/variant.h"

#include <span>
#include <string_view>

namespace controls {

// An event of a control: its number (1-based, in declaration order) and name.
struct EventInfo {
    int number;
    std::u16string_view name;
};

// What a control sees of its container. Both calls may raise a run-time error from the
// container, which reaches the control's caller.
class ControlSite {
public:
    virtual ~ControlSite() = default;

    // The property-changed notice: the property `name` has been assigned.
    virtual void propertyChanged(std::u16string_view name) = 0;

    // Delivers an event. The arguments are passed by reference: what a handler assigns to
    // them is what the control reads back after this call returns.
    virtual void raiseEvent(const EventInfo& event, std::span<runtime::Variant> args) = 0;
};

}  // namespace controls
