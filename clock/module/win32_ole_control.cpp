#include "clock/module/win32_ole_control.h"

#include "clock/module/tavorix_library.h"
#include "clock/user_control1.h"
#include "clock/win32_clock_window.h"
#include "platform/com/module_path.h"
#include "platform/controls/twips.h"
#include "platform/controls/window_dpi_win32.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tavorix {

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

const GUID kClassId = CLSID_UserControl1.as<GUID>();
const GUID kDualId = IID__UserControl1.as<GUID>();
const GUID kEventsId = DIID___UserControl1.as<GUID>();

// The dual interface _UserControl1 as the type library lays it out: IDispatch, then the get
// and the put of Style.
struct IUserControl1 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Style(std::int32_t* style) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Style(std::int32_t style) = 0;
};

// The values of Style by their exact Turkish names, from the module's description: a type
// library file can carry them only in ASCII.
const std::vector<std::pair<std::u16string, std::int32_t>>& styleNames()
{
    static const auto names = [] {
        for (const auto& type : typeLibrary().types) {
            if (type.kind == com::TypeDescription::Kind::Enumeration && type.guid == GUID_renk)
                return type.constants;
        }
        return std::vector<std::pair<std::u16string, std::int32_t>>{};
    }();
    return names;
}

// A COM interface pointer that holds one reference.
template <typename T>
class Ref {
public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { reset(); }
    void reset(T* pointer = nullptr)
    {
        if (pointer)
            pointer->AddRef();
        if (m_pointer)
            m_pointer->Release();
        m_pointer = pointer;
    }
    T** out()
    {
        reset();
        return &m_pointer;
    }
    T* get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

private:
    T* m_pointer = nullptr;
};

std::wstring wide(std::u16string_view text)
{
    return {text.begin(), text.end()};
}

// A run-time error as a caller of the dual interface receives it: the error's number in a
// control's result code (what script hosts read back as Err.Number) and its description in
// the thread's error information.
HRESULT raise(const runtime::RuntimeError& error)
{
    Ref<ICreateErrorInfo> creating;
    if (SUCCEEDED(::CreateErrorInfo(creating.out()))) {
        creating->SetGUID(kDualId);
        creating->SetSource(const_cast<LPOLESTR>(L"Tavorix.UserControl1"));
        std::wstring description = wide(error.description());
        creating->SetDescription(description.data());
        Ref<IErrorInfo> info;
        if (SUCCEEDED(creating->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.out()))))
            ::SetErrorInfo(0, info.get());
    }
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(error.number()) & 0xFFFF);
}

template <typename Step>
HRESULT guarded(Step&& step)
{
    try {
        step();
        return S_OK;
    } catch (const runtime::RuntimeError& error) {
        return raise(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// A container's property bag as the control's load and save see it.
class BagStore : public controls::PropertyStore {
public:
    BagStore(IPropertyBag* bag, IErrorLog* log) : m_bag(bag), m_log(log) {}

    runtime::Variant readProperty(const std::u16string& name, const runtime::Variant& defaultValue) const override
    {
        VARIANT stored;
        ::VariantInit(&stored);
        const std::wstring key = wide(name);
        if (FAILED(m_bag->Read(key.c_str(), &stored, m_log)))
            return defaultValue;  // not there
        runtime::Variant value;
        bool known = true;
        switch (stored.vt) {
        case VT_I2: value = std::int16_t{stored.iVal}; break;
        case VT_I4: value = std::int32_t{stored.lVal}; break;
        case VT_R8: value = stored.dblVal; break;
        case VT_BOOL: value = stored.boolVal ? runtime::True : runtime::False; break;
        case VT_BSTR:
            value = std::u16string(reinterpret_cast<const char16_t*>(stored.bstrVal), ::SysStringLen(stored.bstrVal));
            break;
        default: known = false;
        }
        ::VariantClear(&stored);
        if (!known)
            throw runtime::RuntimeError(runtime::error::kTypeMismatch);
        return value;
    }

    void writeProperty(const std::u16string& name, const runtime::Variant& value,
                       const runtime::Variant& defaultValue) override
    {
        if (value == defaultValue)
            return;  // a bag keeps what differs from the defaults
        VARIANT stored;
        ::VariantInit(&stored);
        stored.vt = VT_I4;
        stored.lVal = runtime::toLong(value);
        const std::wstring key = wide(name);
        const HRESULT result = m_bag->Write(key.c_str(), &stored);
        if (FAILED(result))
            throw runtime::RuntimeError(runtime::error::kDeviceIoError);
    }

private:
    IPropertyBag* m_bag;
    IErrorLog* m_log;
};

// The control's saved state in a stream: a 16-bit format number (1), then the Style in force
// as a 32-bit integer, both little-endian.
constexpr std::uint16_t kStreamFormat = 1;
constexpr ULONG kStreamSize = 6;

class UserControl1Object;

// A COM object of one thread that deletes itself at its last release: AddRef and Release
// answer for every interface it implements.
template <typename Self, typename... Interfaces>
class Counted : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete static_cast<Self*>(this);
        return left;
    }

private:
    ULONG m_references = 1;
};

// The one connection point of the control: containers' IPropertyNotifySink.
class PropertyNotifyPoint final : public IConnectionPoint {
public:
    explicit PropertyNotifyPoint(UserControl1Object& owner) : m_owner(owner) {}
    ~PropertyNotifyPoint()
    {
        for (auto& [cookie, sink] : m_sinks)
            sink->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IConnectionPoint) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = IID_IPropertyNotifySink;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        IPropertyNotifySink* notices = nullptr;
        if (FAILED(sink->QueryInterface(IID_IPropertyNotifySink, reinterpret_cast<void**>(&notices))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = ++m_lastCookie;
        m_sinks.emplace_back(*cookie, notices);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
            if (it->first == cookie) {
                IPropertyNotifySink* sink = it->second;
                m_sinks.erase(it);
                sink->Release();
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override
    {
        if (connections)
            *connections = nullptr;
        return E_NOTIMPL;
    }

    void changed(DISPID id)
    {
        // A sink may unadvise while it is told: tell a copy.
        std::vector<Ref<IPropertyNotifySink>> sinks(m_sinks.size());
        for (std::size_t i = 0; i < m_sinks.size(); ++i)
            sinks[i].reset(m_sinks[i].second);
        for (const auto& sink : sinks)
            sink->OnChanged(id);
    }

private:
    UserControl1Object& m_owner;
    std::vector<std::pair<DWORD, IPropertyNotifySink*>> m_sinks;
    DWORD m_lastCookie = 0;
};

// The enumeration of the control's connection points: the one above.
class ConnectionPointList final : public Counted<ConnectionPointList, IEnumConnectionPoints> {
public:
    explicit ConnectionPointList(IConnectionPoint* point, ULONG position = 0) : m_position(position)
    {
        m_point.reset(point);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IEnumConnectionPoints) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IEnumConnectionPoints*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override
    {
        if (!points || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        if (count > 0 && m_position == 0) {
            points[0] = m_point.get();
            points[0]->AddRef();
            given = 1;
            m_position = 1;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const bool all = m_position + count <= 1;
        m_position = all ? m_position + count : 1;
        return all ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new (std::nothrow) ConnectionPointList(m_point.get(), m_position);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    Ref<IConnectionPoint> m_point;
    ULONG m_position;
};

// UserControl1 as an ActiveX control: the dual interface for its Style, what a container
// needs to place, size, draw, save and restore it, and the container's property-changed
// notices. One thread: the container's.
class UserControl1Object final
    : public Counted<UserControl1Object, IUserControl1, IProvideClassInfo2, ISupportErrorInfo, IOleObject,
                     IOleInPlaceObject, IOleControl, IViewObject2, IPersistStreamInit, IPersistPropertyBag,
                     IConnectionPointContainer, IPerPropertyBrowsing>,
      private controls::ControlSite {
public:
    UserControl1Object() : m_control(std::make_unique<UserControl1>()), m_notices(*this)
    {
        loadTypes();
        m_control->setSite(this);
        ++liveObjects;
    }
    ~UserControl1Object()
    {
        InPlaceDeactivate();
        m_control->setSite(nullptr);
        --liveObjects;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDualId)
            *object = static_cast<IUserControl1*>(this);
        else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
            *object = static_cast<IProvideClassInfo2*>(this);
        else if (iid == IID_ISupportErrorInfo)
            *object = static_cast<ISupportErrorInfo*>(this);
        else if (iid == IID_IOleObject)
            *object = static_cast<IOleObject*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
            *object = static_cast<IOleInPlaceObject*>(this);
        else if (iid == IID_IOleControl)
            *object = static_cast<IOleControl*>(this);
        else if (iid == IID_IViewObject || iid == IID_IViewObject2)
            *object = static_cast<IViewObject2*>(this);
        else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
            *object = static_cast<IPersistStreamInit*>(this);
        else if (iid == IID_IPersistPropertyBag)
            *object = static_cast<IPersistPropertyBag*>(this);
        else if (iid == IID_IConnectionPointContainer)
            *object = static_cast<IConnectionPointContainer*>(this);
        else if (iid == IID_IPerPropertyBrowsing)
            *object = static_cast<IPerPropertyBrowsing*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    // IDispatch, answered from the type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        *info = m_dispatchInfo.get();
        (*info)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return ::DispGetIDsOfNames(m_interfaceInfo.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* badArgument) override
    {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return ::DispInvoke(static_cast<IUserControl1*>(this), m_interfaceInfo.get(), id, flags, parameters, result,
                            exception, badArgument);
    }

    // _UserControl1
    HRESULT STDMETHODCALLTYPE get_Style(std::int32_t* style) override
    {
        if (!style)
            return E_POINTER;
        *style = m_control->Style();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Style(std::int32_t style) override
    {
        return guarded([&] { m_control->setStyle(style); });
    }

    // IPerPropertyBrowsing: what a property browser shows of Style, its values by name.
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID id, BSTR* text) override
    {
        if (!text)
            return E_POINTER;
        *text = nullptr;
        if (id != UserControl1::kStyleId)
            return E_NOTIMPL;
        for (const auto& [name, value] : styleNames()) {
            if (value == m_control->Style())
                *text = ::SysAllocString(reinterpret_cast<const wchar_t*>(name.c_str()));
        }
        return *text ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID, CLSID* page) override
    {
        if (page)
            *page = CLSID_NULL;
        return PERPROP_E_NOPAGEAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) override
    {
        if (!strings || !cookies)
            return E_POINTER;
        *strings = {};
        *cookies = {};
        if (id != UserControl1::kStyleId)
            return E_NOTIMPL;
        const auto& names = styleNames();
        const auto count = static_cast<ULONG>(names.size());
        strings->pElems = static_cast<LPOLESTR*>(::CoTaskMemAlloc(count * sizeof(LPOLESTR)));
        cookies->pElems = static_cast<DWORD*>(::CoTaskMemAlloc(count * sizeof(DWORD)));
        if (!strings->pElems || !cookies->pElems) {
            ::CoTaskMemFree(strings->pElems);
            ::CoTaskMemFree(cookies->pElems);
            *strings = {};
            *cookies = {};
            return E_OUTOFMEMORY;
        }
        for (ULONG i = 0; i < count; ++i) {
            const std::u16string& name = names[i].first;
            const std::size_t bytes = (name.size() + 1) * sizeof(char16_t);
            strings->pElems[i] = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
            if (strings->pElems[i])
                std::memcpy(strings->pElems[i], name.c_str(), bytes);
            cookies->pElems[i] = static_cast<DWORD>(names[i].second);
        }
        strings->cElems = cookies->cElems = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        if (id != UserControl1::kStyleId)
            return E_NOTIMPL;
        ::VariantInit(value);
        value->vt = VT_I4;
        value->lVal = static_cast<LONG>(cookie);
        return S_OK;
    }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        return m_library->GetTypeInfoOfGuid(kClassId, info);
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override
    {
        if (!guid)
            return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
            return E_INVALIDARG;
        *guid = kEventsId;
        return S_OK;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return iid == kDualId ? S_OK : S_FALSE;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override
    {
        m_clientSite.reset(site);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override
    {
        if (!site)
            return E_POINTER;
        *site = m_clientSite.get();
        if (*site)
            (*site)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override
    {
        InPlaceDeactivate();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker)
            *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override
    {
        if (data)
            *data = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override
    {
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return activate(site ? site : m_clientSite.get());
        case OLEIVERB_HIDE:
            return InPlaceDeactivate();
        default:
            return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
        }
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override
    {
        if (verbs)
            *verbs = nullptr;
        return OLE_S_USEREG;
    }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* name) override
    {
        if (name)
            *name = nullptr;
        return OLE_S_USEREG;
    }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override
    {
        if (aspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        if (!size)
            return E_POINTER;
        const int width = controls::twipsFromHimetric(size->cx);
        const int height = controls::twipsFromHimetric(size->cy);
        // No side is negative, or larger than a window can be.
        constexpr int kLargest = ClockWindow::kLargestSide * controls::kTwipsPerPixel;
        if (width < 0 || height < 0 || width > kLargest || height > kLargest)
            return E_INVALIDARG;
        return guarded([&] { m_control->setExtent(width, height); });
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override
    {
        if (aspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        if (!size)
            return E_POINTER;
        size->cx = ::MulDiv(m_control->extentWidth(), 2540, 1440);
        size->cy = ::MulDiv(m_control->extentHeight(), 2540, 1440);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override
    {
        if (!m_adviseHolder && FAILED(::CreateOleAdviseHolder(m_adviseHolder.out())))
            return E_OUTOFMEMORY;
        return m_adviseHolder->Advise(sink, connection);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override
    {
        return m_adviseHolder ? m_adviseHolder->Unadvise(connection) : OLE_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** list) override
    {
        if (!list)
            return E_POINTER;
        *list = nullptr;
        return m_adviseHolder ? m_adviseHolder->EnumAdvise(list) : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override
    {
        if (!status)
            return E_POINTER;
        *status = kMiscStatus;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = static_cast<HWND>(m_control->window().nativeWindow());
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override
    {
        if (!m_inPlaceSite)
            return S_OK;
        m_control->window().withdraw();
        Ref<IOleInPlaceSite> site;
        site.reset(m_inPlaceSite.get());
        m_inPlaceSite.reset();
        site->OnInPlaceDeactivate();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override
    {
        if (!position)
            return E_POINTER;
        const int width = position->right - position->left;
        const int height = position->bottom - position->top;
        if (width < 0 || height < 0 || width > ClockWindow::kLargestSide || height > ClockWindow::kLargestSide)
            return E_INVALIDARG;
        // The control keeps the size its container gives it, at the place it gives, in pixels of
        // the container's window.
        const int dpi = controls::windowDpi(containerWindow());
        const HRESULT result = guarded([&] {
            m_control->setExtent(controls::twipsAt(width, dpi), controls::twipsAt(height, dpi));
        });
        if (const HWND window = static_cast<HWND>(m_control->window().nativeWindow()))
            ::SetWindowPos(window, nullptr, position->left, position->top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        return result;
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }

    // IOleControl: no mnemonics, no ambient properties of interest, no events to freeze.
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override
    {
        if (!info)
            return E_POINTER;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject2: the clock drawn where the container asks, as its window shows it.
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                                   LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override
    {
        if (aspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        if (!dc || !bounds)
            return E_INVALIDARG;
        const RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
        // The device's own resolution: a printer's, a metafile's, the screen's.
        const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
        return guarded([&] { paintClock(dc, area, m_control->clockRow(), dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI); });
    }
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) override
    {
        if (colours)
            *colours = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override
    {
        m_viewSink.reset(sink);
        m_viewAspects = aspects;
        m_viewFlags = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override
    {
        if (aspects)
            *aspects = m_viewAspects;
        if (flags)
            *flags = m_viewFlags;
        if (sink) {
            *sink = m_viewSink.get();
            if (*sink)
                (*sink)->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override
    {
        return GetExtent(aspect, size);
    }

    // IPersist, IPersistStreamInit, IPersistPropertyBag: the Style in force, as on every system.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override
    {
        if (!clsid)
            return E_POINTER;
        *clsid = kClassId;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override
    {
        if (!stream)
            return E_POINTER;
        unsigned char bytes[kStreamSize];
        ULONG read = 0;
        if (FAILED(stream->Read(bytes, kStreamSize, &read)) || read != kStreamSize
            || (bytes[0] | bytes[1] << 8) != kStreamFormat)
            return E_FAIL;
        const auto style = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[2]) | bytes[3] << 8
                                                     | bytes[4] << 16 | static_cast<std::uint32_t>(bytes[5]) << 24);
        return loaded(guarded([&] { m_control->load(controls::PropertyBag({{u"Style", style}})); }));
    }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override
    {
        if (!stream)
            return E_POINTER;
        controls::PropertyBag saved;
        const HRESULT result = guarded([&] { m_control->save(saved); });
        if (FAILED(result))
            return result;
        const auto style = static_cast<std::uint32_t>(runtime::toLong(saved.readProperty(u"Style", std::int32_t{0})));
        const unsigned char bytes[kStreamSize] = {kStreamFormat & 0xFF, kStreamFormat >> 8,
                                                  static_cast<unsigned char>(style),
                                                  static_cast<unsigned char>(style >> 8),
                                                  static_cast<unsigned char>(style >> 16),
                                                  static_cast<unsigned char>(style >> 24)};
        ULONG written = 0;
        if (FAILED(stream->Write(bytes, kStreamSize, &written)) || written != kStreamSize)
            return STG_E_CANTSAVE;
        if (clearDirty)
            m_dirty = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override
    {
        if (!size)
            return E_POINTER;
        size->QuadPart = kStreamSize;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InitNew() override
    {
        if (m_initialised)
            return E_UNEXPECTED;
        return loaded(guarded([&] { m_control->initNew(); }));
    }
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override
    {
        if (!bag)
            return E_POINTER;
        if (m_initialised)
            return E_UNEXPECTED;
        BagStore store(bag, log);
        return loaded(guarded([&] { m_control->load(store); }));
    }
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL) override
    {
        if (!bag)
            return E_POINTER;
        BagStore store(bag, nullptr);
        const HRESULT result = guarded([&] { m_control->save(store); });
        if (SUCCEEDED(result) && clearDirty)
            m_dirty = false;
        return result;
    }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override
    {
        if (!points)
            return E_POINTER;
        *points = new (std::nothrow) ConnectionPointList(&m_notices);
        return *points ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        if (!point)
            return E_POINTER;
        *point = nullptr;
        if (iid != IID_IPropertyNotifySink)
            return CONNECT_E_NOCONNECTION;
        *point = &m_notices;
        m_notices.AddRef();
        return S_OK;
    }

private:
    // The types come from the module's own type library: the dispatch interface that clients
    // read, and the vtable interface of the dual that calls are made through.
    void loadTypes()
    {
        const std::u16string path = runtime::fromUtf8(com::modulePathOf(&liveObjects));
        const std::wstring module(path.begin(), path.end());
        if (FAILED(::LoadTypeLibEx(module.c_str(), REGKIND_NONE, m_library.out()))
            || FAILED(m_library->GetTypeInfoOfGuid(kDualId, m_dispatchInfo.out())))
            throw std::runtime_error("the module's type library cannot be read");
        HREFTYPE vtable = 0;
        if (SUCCEEDED(m_dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable))
            && SUCCEEDED(m_dispatchInfo->GetRefTypeInfo(vtable, m_interfaceInfo.out())))
            return;
        m_interfaceInfo.reset(m_dispatchInfo.get());
    }

    HRESULT activate(IOleClientSite* clientSite)
    {
        if (m_inPlaceSite)
            return S_OK;
        if (!clientSite)
            return E_INVALIDARG;
        Ref<IOleInPlaceSite> site;
        if (FAILED(clientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(site.out()))))
            return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        HWND parent = nullptr;
        if (FAILED(site->OnInPlaceActivate()))
            return E_FAIL;
        Ref<IOleInPlaceFrame> frame;
        Ref<IOleInPlaceUIWindow> document;
        RECT position{};
        RECT clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (FAILED(site->GetWindow(&parent))
            || FAILED(site->GetWindowContext(frame.out(), document.out(), &position, &clip, &frameInfo))
            || !m_control->window().place(parent)) {
            site->OnInPlaceDeactivate();
            return E_UNEXPECTED;  // no window to be placed in, or the control's own is gone
        }
        m_inPlaceSite.reset(site.get());
        SetObjectRects(&position, &clip);
        return S_OK;
    }

    HRESULT loaded(HRESULT result)
    {
        if (SUCCEEDED(result)) {
            m_initialised = true;
            m_dirty = false;
        }
        return result;
    }

    void propertyChanged(std::u16string_view name) override
    {
        m_dirty = true;
        if (name == u"Style")
            m_notices.changed(UserControl1::kStyleId);
    }
    void raiseEvent(const controls::EventInfo&, std::span<runtime::Variant>) override {}

    // The container's window the control is placed in; nullptr outside one.
    HWND containerWindow() const
    {
        HWND window = nullptr;
        if (m_inPlaceSite)
            m_inPlaceSite->GetWindow(&window);
        return window;
    }

    std::unique_ptr<UserControl1> m_control;
    PropertyNotifyPoint m_notices;
    Ref<ITypeLib> m_library;
    Ref<ITypeInfo> m_dispatchInfo;
    Ref<ITypeInfo> m_interfaceInfo;
    Ref<IOleClientSite> m_clientSite;
    Ref<IOleInPlaceSite> m_inPlaceSite;
    Ref<IOleAdviseHolder> m_adviseHolder;
    Ref<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    bool m_initialised = false;
    bool m_dirty = false;
};

ULONG STDMETHODCALLTYPE PropertyNotifyPoint::AddRef()
{
    return m_owner.AddRef();
}

ULONG STDMETHODCALLTYPE PropertyNotifyPoint::Release()
{
    return m_owner.Release();
}

HRESULT STDMETHODCALLTYPE PropertyNotifyPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    return m_owner.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container));
}

class UserControl1Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory lives as long as the module; its count does not keep the module loaded.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            auto* created = new UserControl1Object();
            const HRESULT result = created->QueryInterface(iid, object);
            created->Release();
            return result;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& error) {
            // The container gets a result code alone; the reason goes to the debugger's output.
            ::OutputDebugStringA((std::string("tavorix: UserControl1 cannot be created: ") + error.what() + "\n").c_str());
            return E_FAIL;
        } catch (...) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            ++serverLocks;
        else if (serverLocks > 0)
            --serverLocks;
        return S_OK;
    }
};

}  // namespace

IClassFactory& userControl1Factory()
{
    static UserControl1Factory factory;
    return factory;
}

bool moduleInUse()
{
    return liveObjects > 0 || serverLocks > 0;
}

}  // namespace tavorix
