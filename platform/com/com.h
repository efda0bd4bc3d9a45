#pragma once

#include "platform/com/guid.h"
#include "platform/controls/dispatch.h"
#include "platform/controls/property_bag.h"
#include "platform/runtime/variant.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The in-process server surface of a control library: GUIDs, result codes and the few
// interfaces a container and a control module speak through. The interfaces are laid out as
// COM lays out its own: reference counted, reached by QueryInterface, and no exception
// crosses them; failures are result codes.
namespace com {

using HResult = std::int32_t;

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002);
inline constexpr HResult E_POINTER = static_cast<HResult>(0x80004003);
inline constexpr HResult E_FAIL = static_cast<HResult>(0x80004005);
inline constexpr HResult E_UNEXPECTED = static_cast<HResult>(0x8000FFFF);
inline constexpr HResult E_OUTOFMEMORY = static_cast<HResult>(0x8007000E);
inline constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057);
inline constexpr HResult CLASS_E_NOAGGREGATION = static_cast<HResult>(0x80040110);
inline constexpr HResult CLASS_E_CLASSNOTAVAILABLE = static_cast<HResult>(0x80040111);
inline constexpr HResult SELFREG_E_TYPELIB = static_cast<HResult>(0x80040200);
inline constexpr HResult SELFREG_E_CLASS = static_cast<HResult>(0x80040201);
inline constexpr HResult DISP_E_MEMBERNOTFOUND = static_cast<HResult>(0x80020003);
inline constexpr HResult DISP_E_EXCEPTION = static_cast<HResult>(0x80020009);

inline constexpr bool succeeded(HResult result)
{
    return result >= 0;
}

inline constexpr Guid IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// Our stand-in for IOleObject, IPersistPropertyBag and in-place activation together.
inline constexpr Guid IID_IEmbeddedControl{0x6B1C29A4,
                                           0x5F3E,
                                           0x4D2B,
                                           {0x9A, 0x61, 0x3C, 0x7E, 0x12, 0x84, 0xB0, 0x5D}};

class IUnknown {
public:
    virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
public:
    virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
    virtual HResult LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct TypeLibrary;

// The error a member raised, when Invoke answers DISP_E_EXCEPTION.
struct ExceptionInfo {
    int number = 0;
    std::u16string description;
};

class IDispatch : public IUnknown {
public:
    // The type library that describes this object, and the name of its interface in it.
    virtual HResult GetTypeInfo(const TypeLibrary** library, std::u16string* interfaceName) = 0;
    virtual HResult Invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args,
                           runtime::Variant* result, ExceptionInfo* exception) = 0;

protected:
    ~IDispatch() = default;
};

// What a container offers its controls: IPropertyNotifySink::OnChanged.
class IPropertyNotifySink {
public:
    virtual void OnChanged(controls::DispId id) = 0;

protected:
    ~IPropertyNotifySink() = default;
};

class IEmbeddedControl : public IUnknown {
public:
    // The container's sink for property-changed notices; nullptr to detach.
    virtual HResult SetSite(IPropertyNotifySink* site) = 0;
    virtual HResult InitNew() = 0;
    virtual HResult Load(const controls::PropertyStore& store) = 0;
    virtual HResult Save(controls::PropertyStore& store) = 0;
    // Places the control's window in `parentWindow` (a QWidget* in a Qt container).
    virtual HResult Activate(void* parentWindow) = 0;
    // Extent in twips.
    virtual HResult SetExtent(int width, int height) = 0;
    virtual HResult GetExtent(int* width, int* height) = 0;

protected:
    ~IEmbeddedControl() = default;
};

// The exports of an in-process server, as a container finds them in the module.
using DllRegisterServerFn = HResult (*)();
using DllUnregisterServerFn = HResult (*)();
using DllGetClassObjectFn = HResult (*)(const Guid& clsid, const Guid& iid, void** object);
using DllCanUnloadNowFn = HResult (*)();
// The export through which a module hands out its resources (see module_resources.h): the
// bytes of resource `id` of `type`, which stay valid while the module is loaded.
using DllGetResourceFn = HResult (*)(const char* type, std::uint32_t id, const void** data, std::size_t* size);

}  // namespace com
