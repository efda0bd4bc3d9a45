#include "clock/module/ole_control_win32.h"

#include "clock/clock_window_win32.h"
#include "clock/module/connection_points_win32.h"
#include "clock/module/persistence_win32.h"
#include "clock/module/style_browsing_win32.h"
#include "clock/module/tavorix_library.h"
#include "clock/user_control1.h"
#include "platform/com/com_object_win32.h"
#include "platform/com/com_ptr.h"
#include "platform/com/module_path.h"
#include "platform/controls/twips.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "platform/window/window_dpi_win32.h"

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tavorix {

namespace {

const GUID kClassId = CLSID_UserControl1.as<GUID>();
const GUID kDualId = IID__UserControl1.as<GUID>();
const GUID kEventsId = DIID___UserControl1.as<GUID>();

// The dual interface _UserControl1 as the type library lays it out: IDispatch, then the get
// and the put of Style.
struct IUserControl1 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Style(std::int32_t* style) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Style(std::int32_t style) = 0;
};

// A method's body: an error leaves it as a caller of the dual interface receives it.
template <typename Step>
HRESULT guarded(Step&& step)
{
    return com::guarded(u"Tavorix.UserControl1", kDualId, std::forward<Step>(step));
}

// UserControl1 as an ActiveX control: the dual interface for its Style, what a container
// needs to place, size, draw, save and restore it, and the container's property-changed
// notices. One thread: the container's.
class UserControl1Object final
    : public com::Counted<UserControl1Object, IUserControl1, IProvideClassInfo2, ISupportErrorInfo, IOleObject,
                          IOleInPlaceObject, IOleControl, IViewObject2, IPersistStreamInit, IPersistPropertyBag,
                          IConnectionPointContainer, IPerPropertyBrowsing>,
      private controls::ControlSite {
public:
    UserControl1Object() : m_control(std::make_unique<UserControl1>()), m_notices(*this)
    {
        loadTypes();
        m_control->setSite(this);
        ++liveControls();
    }
    ~UserControl1Object()
    {
        InPlaceDeactivate();
        m_control->setSite(nullptr);
        --liveControls();
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
        return styleDisplayString(id, m_control->Style(), text);
    }
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID, CLSID* page) override
    {
        if (page)
            *page = CLSID_NULL;
        return PERPROP_E_NOPAGEAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) override
    {
        return stylePredefinedStrings(id, strings, cookies);
    }
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override
    {
        return stylePredefinedValue(id, cookie, value);
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
        case OLEIVERB_UIACTIVATE: return activate(site ? site : m_clientSite.get());
        case OLEIVERB_HIDE: return InPlaceDeactivate();
        default: return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
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
        com::Ptr<IOleInPlaceSite> site;
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
        const int dpi = win32::windowDpi(containerWindow());
        const HRESULT result =
            guarded([&] { m_control->setExtent(controls::twipsAt(width, dpi), controls::twipsAt(height, dpi)); });
        if (const HWND window = static_cast<HWND>(m_control->window().nativeWindow()))
            ::SetWindowPos(window, nullptr, position->left, position->top, width, height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
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
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                   BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override
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
        const auto style = readStyleStream(*stream);
        if (!style)
            return E_FAIL;
        return loaded(guarded([&] { m_control->load(controls::PropertyBag({{u"Style", *style}})); }));
    }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override
    {
        if (!stream)
            return E_POINTER;
        controls::PropertyBag saved;
        const HRESULT result = guarded([&] { m_control->save(saved); });
        if (FAILED(result))
            return result;
        if (!writeStyleStream(*stream, runtime::toLong(saved.readProperty(u"Style", std::int32_t{0}))))
            return STG_E_CANTSAVE;
        if (clearDirty)
            m_dirty = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override
    {
        if (!size)
            return E_POINTER;
        size->QuadPart = kStyleStreamSize;
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
        ContainerPropertyBag store(bag, log);
        return loaded(guarded([&] { m_control->load(store); }));
    }
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL) override
    {
        if (!bag)
            return E_POINTER;
        ContainerPropertyBag store(bag, nullptr);
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
        const std::u16string path = runtime::fromUtf8(com::modulePathOf(&kClassId));
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
        com::Ptr<IOleInPlaceSite> site;
        if (FAILED(clientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(site.out()))))
            return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        HWND parent = nullptr;
        if (FAILED(site->OnInPlaceActivate()))
            return E_FAIL;
        com::Ptr<IOleInPlaceFrame> frame;
        com::Ptr<IOleInPlaceUIWindow> document;
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
    com::Ptr<ITypeLib> m_library;
    com::Ptr<ITypeInfo> m_dispatchInfo;
    com::Ptr<ITypeInfo> m_interfaceInfo;
    com::Ptr<IOleClientSite> m_clientSite;
    com::Ptr<IOleInPlaceSite> m_inPlaceSite;
    com::Ptr<IOleAdviseHolder> m_adviseHolder;
    com::Ptr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    bool m_initialised = false;
    bool m_dirty = false;
};

}  // namespace

IUnknown* makeUserControl1()
{
    auto* made = new UserControl1Object();
    return static_cast<IUserControl1*>(made);
}

}  // namespace tavorix
