#include "platform/controls/dispatch.h"

#include "platform/runtime/runtime_error.h"

namespace controls {

using runtime::RuntimeError;
using runtime::Variant;
using runtime::error::kObjectDoesNotSupport;
using runtime::error::kSetNotSupported;
using runtime::error::kWrongNumberOfArguments;

Variant dispatchGet(Dispatch& target, DispId id)
{
    return target.invoke(id, InvokeKind::PropertyGet, {});
}

Variant dispatchGet(Dispatch& target, DispId id, std::span<Variant> args)
{
    return target.invoke(id, InvokeKind::PropertyGet, args);
}

void dispatchPut(Dispatch& target, DispId id, Variant value)
{
    target.invoke(id, InvokeKind::PropertyPut, std::span<Variant>(&value, 1));
}

Variant dispatchCall(Dispatch& target, DispId id)
{
    return target.invoke(id, InvokeKind::Method, {});
}

void DispatchTable::addProperty(DispId id, std::u16string name, Getter getter, Setter setter)
{
    m_members[id] = Member{std::move(name), std::move(getter), std::move(setter), {}, {}};
}

void DispatchTable::addIndexedProperty(DispId id, std::u16string name, IndexedGetter getter)
{
    m_members[id] = Member{std::move(name), {}, {}, {}, std::move(getter)};
}

void DispatchTable::addMethod(DispId id, std::u16string name, Method method)
{
    m_members[id] = Member{std::move(name), {}, {}, std::move(method), {}};
}

Variant DispatchTable::invoke(DispId id, InvokeKind kind, std::span<Variant> args) const
{
    const auto it = m_members.find(id);
    if (it == m_members.end())
        throw RuntimeError(kObjectDoesNotSupport);
    const Member& member = it->second;
    switch (kind) {
    case InvokeKind::PropertyGet:
        if (member.indexed)
            return member.indexed(args);
        if (!member.getter)
            throw RuntimeError(kObjectDoesNotSupport);
        if (!args.empty())
            throw RuntimeError(kWrongNumberOfArguments);
        return member.getter();
    case InvokeKind::PropertyPut:
        if (!member.getter && !member.setter && !member.indexed)
            throw RuntimeError(kObjectDoesNotSupport);
        if (!member.setter)
            throw RuntimeError(kSetNotSupported);
        if (args.size() != 1)
            throw RuntimeError(kWrongNumberOfArguments);
        member.setter(args[0]);
        return {};
    case InvokeKind::Method:
        if (!member.method)
            throw RuntimeError(kObjectDoesNotSupport);
        if (!args.empty())
            throw RuntimeError(kWrongNumberOfArguments);
        member.method();
        return {};
    }
    throw RuntimeError(kObjectDoesNotSupport);
}

std::u16string DispatchTable::nameOf(DispId id) const
{
    const auto it = m_members.find(id);
    return it == m_members.end() ? std::u16string() : it->second.name;
}

}  // namespace controls
