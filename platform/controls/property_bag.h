#pragma once

#include "platform/runtime/variant.h"

#include <string>
#include <utility>
#include <vector>

namespace controls {

// The container's property store, as a control sees it while it loads or saves. Either call
// may raise a run-time error, which goes back to the container.
class PropertyStore {
public:
    virtual ~PropertyStore() = default;

    // The stored value of `name`, or `defaultValue` when the key is absent.
    virtual runtime::Variant readProperty(const std::u16string& name, const runtime::Variant& defaultValue) const = 0;
    // Stores `value` under `name`; a value equal to `defaultValue` is left out (and an earlier
    // entry under that name removed), so that stored data holds only what differs.
    virtual void writeProperty(const std::u16string& name, const runtime::Variant& value,
                               const runtime::Variant& defaultValue) = 0;
};

// A property store in memory that keeps its keys in the order they were first written.
class PropertyBag : public PropertyStore {
public:
    using Entry = std::pair<std::u16string, runtime::Variant>;

    PropertyBag() = default;
    explicit PropertyBag(std::vector<Entry> entries) : m_entries(std::move(entries)) {}

    runtime::Variant readProperty(const std::u16string& name, const runtime::Variant& defaultValue) const override;
    void writeProperty(const std::u16string& name, const runtime::Variant& value,
                       const runtime::Variant& defaultValue) override;

    const std::vector<Entry>& entries() const noexcept { return m_entries; }
    bool contains(const std::u16string& name) const;

private:
    std::vector<Entry> m_entries;
};

}  // namespace controls
