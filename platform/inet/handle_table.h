#pragma once

#include "platform/inet/internet.h"

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace inet {

// The handles a backend has given out and the objects behind them. Handles are never 0 (the
// value of a failed call), and each object names the handle it was made under (`parent`), so
// that closing a session or a connection finds what goes with it.
template <typename Object>
class HandleTable {
public:
    Handle add(std::unique_ptr<Object> object)
    {
        const Handle handle = m_next++;
        if (m_next == 0)
            m_next = 1;
        m_objects.emplace(handle, std::move(object));
        return handle;
    }

    Object* find(Handle handle) const
    {
        const auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : it->second.get();
    }

    // The handle of `object`; 0 when it is no longer in the table.
    Handle handleOf(const Object& object) const
    {
        for (const auto& [handle, candidate] : m_objects) {
            if (candidate.get() == &object)
                return handle;
        }
        return 0;
    }

    // The handles made under `handle` (a session's connections, a connection's requests).
    std::vector<Handle> childrenOf(Handle handle) const
    {
        std::vector<Handle> children;
        for (const auto& [child, object] : m_objects) {
            if (object->parent == handle)
                children.push_back(child);
        }
        return children;
    }

    std::vector<Handle> handles() const
    {
        std::vector<Handle> all;
        for (const auto& [handle, object] : m_objects)
            all.push_back(handle);
        return all;
    }

    // Takes `handle`'s object out of the table: the caller decides when it ends.
    std::unique_ptr<Object> take(Handle handle)
    {
        const auto node = m_objects.extract(handle);
        return node ? std::move(node.mapped()) : nullptr;
    }

    std::size_t size() const { return m_objects.size(); }

private:
    std::unordered_map<Handle, std::unique_ptr<Object>> m_objects;
    Handle m_next = 0xCC0001;
};

}  // namespace inet
