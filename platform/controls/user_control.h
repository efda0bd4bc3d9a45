#pragma once

#include "platform/controls/control_site.h"
#include "platform/controls/property_bag.h"

#include <span>
#include <string_view>

namespace controls {

// Base of a user-defined control: a child object of a container that receives the
// container's life-cycle notifications (new instance, load, save, resize). Sizes are in twips.
// The site is not owned and must outlive the control, or be reset to nullptr first.
class UserControl {
public:
    virtual ~UserControl() = default;

    void setSite(ControlSite* site) noexcept { m_site = site; }
    ControlSite* site() const noexcept { return m_site; }

    // Container notifications.
    void initNew() { initProperties(); }
    void load(const PropertyStore& store) { readProperties(store); }
    void save(PropertyStore& store) { writeProperties(store); }
    // The container gives the control its extent in twips; the control is told so and may
    // change it.
    void setExtent(int width, int height);

    // The control's one size, in twips: what the container gave it, as the control kept it.
    virtual int extentWidth() const noexcept { return m_width; }
    virtual int extentHeight() const noexcept { return m_height; }

protected:
    virtual void initProperties() {}
    virtual void readProperties(const PropertyStore&) {}
    virtual void writeProperties(PropertyStore&) {}
    virtual void resized() {}

    // Where the extent is kept. A control with a window of its own keeps it as its window's
    // size, so that it has one size only. Changing it here does not notify the control again.
    virtual void keepExtent(int width, int height)
    {
        m_width = width;
        m_height = height;
    }

    // Sends the property-changed notice to the container, if there is one.
    void propertyChanged(std::u16string_view name);
    // Raises an event to the container, if there is one.
    void raiseEvent(const EventInfo& event, std::span<runtime::Variant> args = {});

private:
    ControlSite* m_site = nullptr;
    int m_width = 0;
    int m_height = 0;
};

}  // namespace controls
