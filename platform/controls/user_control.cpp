#include "platform/controls/user_control.h"

namespace controls {

void UserControl::setExtent(int width, int height)
{
    keepExtent(width, height);
    resized();
}

void UserControl::propertyChanged(std::u16string_view name)
{
    if (m_site)
        m_site->propertyChanged(name);
}

void UserControl::raiseEvent(const EventInfo& event, std::span<runtime::Variant> args)
{
    if (m_site)
        m_site->raiseEvent(event, args);
}

}  // namespace controls
