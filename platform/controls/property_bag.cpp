#include "platform/controls/property_bag.h"

#include <algorithm>

namespace controls {

runtime::Variant PropertyBag::readProperty(const std::u16string& name, const runtime::Variant& defaultValue) const
{
    const auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.first == name; });
    return it == m_entries.end() ? defaultValue : it->second;
}

void PropertyBag::writeProperty(const std::u16string& name, const runtime::Variant& value,
                                const runtime::Variant& defaultValue)
{
    const auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.first == name; });
    if (value == defaultValue) {
        if (it != m_entries.end())
            m_entries.erase(it);
        return;
    }
    if (it != m_entries.end())
        it->second = value;
    else
        m_entries.emplace_back(name, value);
}

bool PropertyBag::contains(const std::u16string& name) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.first == name; });
}

}  // namespace controls
