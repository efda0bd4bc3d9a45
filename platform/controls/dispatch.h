#pragma once

#include "platform/runtime/variant.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>

namespace controls {

using DispId = std::int32_t;

enum class InvokeKind { PropertyGet, PropertyPut, Method };

// Late-bound access to an object's members by dispatch identifier. Errors come back to the
// caller as runtime::RuntimeError: 438 for an identifier the object does not offer, 383 for a
// put on a read-only property, 450 for a wrong number of arguments, or whatever the member
// itself raises.
class Dispatch {
public:
    virtual ~Dispatch() = default;
    virtual runtime::Variant invoke(DispId id, InvokeKind kind, std::span<runtime::Variant> args) = 0;
};

runtime::Variant dispatchGet(Dispatch& target, DispId id);
// A property get with arguments, such as an indexed property.
runtime::Variant dispatchGet(Dispatch& target, DispId id, std::span<runtime::Variant> args);
void dispatchPut(Dispatch& target, DispId id, runtime::Variant value);
runtime::Variant dispatchCall(Dispatch& target, DispId id);

// The member table behind a Dispatch implementation: each identifier names a property (getter
// and optional setter) or a method without arguments.
class DispatchTable {
public:
    using Getter = std::function<runtime::Variant()>;
    using Setter = std::function<void(const runtime::Variant&)>;
    using Method = std::function<void()>;
    using IndexedGetter = std::function<runtime::Variant(std::span<runtime::Variant>)>;

    void addProperty(DispId id, std::u16string name, Getter getter, Setter setter = {});
    // A read-only property whose get takes arguments (an index).
    void addIndexedProperty(DispId id, std::u16string name, IndexedGetter getter);
    void addMethod(DispId id, std::u16string name, Method method);

    runtime::Variant invoke(DispId id, InvokeKind kind, std::span<runtime::Variant> args) const;

    bool contains(DispId id) const { return m_members.count(id) != 0; }
    // The member's name, or an empty text for an unknown identifier.
    std::u16string nameOf(DispId id) const;

private:
    struct Member {
        std::u16string name;
        Getter getter;
        Setter setter;
        Method method;
        IndexedGetter indexed;
    };
    std::map<DispId, Member> m_members;
};

}  // namespace controls
