// tavorix.ocx as COM and OLE reach it on Windows: loaded as a module (no registration), its class
// factory, its dual interface answered from its own type library, its property-changed notices,
// persistence, extent and drawing.
#include "clock/module/tavorix_library.h"
#include "platform/com/type_library_win32.h"
#include "platform/runtime/text.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::wstring modulePath()
{
    std::wstring path = L"Z:";
    for (const char c : std::string(TAVORIX_MODULE))
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

constexpr DISPID kStyle = 0x68030000;

// A container's sink that counts the notices it is given.
class NoticeSink final : public IPropertyNotifySink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IUnknown || iid == IID_IPropertyNotifySink ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override
    {
        notices.push_back(id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
    std::vector<DISPID> notices;
};

// A container's property bag in memory.
class MemoryBag final : public IPropertyBag {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IUnknown || iid == IID_IPropertyBag ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override
    {
        const auto found = values.find(name);
        return found == values.end() ? E_INVALIDARG : ::VariantCopy(value, &found->second);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override
    {
        VARIANT& stored = values[name];
        ::VariantInit(&stored);
        return ::VariantCopy(&stored, value);
    }
    std::map<std::wstring, VARIANT> values;
};

class TavorixOle : public testing::Test {
protected:
    TavorixOle()
    {
        ::OleInitialize(nullptr);
        m_module = ::LoadLibraryW(modulePath().c_str());
        const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(::GetProcAddress(m_module, "DllCanUnloadNow")));
        if (getClassObject)
            getClassObject(tavorix::CLSID_UserControl1.as<GUID>(), IID_IClassFactory,
                           reinterpret_cast<void**>(&factory));
    }
    ~TavorixOle() override { ::OleUninitialize(); }

    template <typename T>
    T* create(REFIID iid)
    {
        T* object = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object)), S_OK);
        return object;
    }
    template <typename T>
    static T* as(IUnknown* object, REFIID iid)
    {
        T* other = nullptr;
        EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&other)), S_OK);
        other->Release();  // the object holds itself
        return other;
    }

    static HRESULT put(IDispatch* control, std::int32_t value, EXCEPINFO* exception = nullptr)
    {
        VARIANT argument;
        ::VariantInit(&argument);
        argument.vt = VT_I4;
        argument.lVal = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{&argument, &named, 1, 1};
        return control->Invoke(kStyle, IID_NULL, 0, DISPATCH_PROPERTYPUT, &parameters, nullptr, exception, nullptr);
    }
    static std::int32_t get(IDispatch* control)
    {
        VARIANT result;
        ::VariantInit(&result);
        DISPPARAMS none{};
        EXPECT_EQ(control->Invoke(kStyle, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
        return result.lVal;
    }

    HMODULE m_module = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};

TEST_F(TavorixOle, TheEmbeddedTypeLibraryIsTheModulesDescription)
{
    std::string error;
    const auto library = com::readTypeLibrary(modulePath(), error);
    ASSERT_TRUE(library.has_value()) << error;
    // Its names are the description's as the file carries them: in ASCII.
    EXPECT_EQ(com::describe(*library),
              runtime::toUtf8(com::portableName(runtime::fromUtf8(com::describe(tavorix::typeLibrary())))));
}

TEST_F(TavorixOle, APropertyBrowserReadsTheStylesByTheirExactNames)
{
    ASSERT_NE(factory, nullptr);
    IPerPropertyBrowsing* browsing = create<IPerPropertyBrowsing>(IID_IPerPropertyBrowsing);
    CALPOLESTR names{};
    CADWORD values{};
    ASSERT_EQ(browsing->GetPredefinedStrings(kStyle, &names, &values), S_OK);
    std::vector<std::pair<std::wstring, DWORD>> choices;
    for (ULONG i = 0; i < names.cElems; ++i) {
        choices.emplace_back(names.pElems[i], values.pElems[i]);
        ::CoTaskMemFree(names.pElems[i]);
    }
    ::CoTaskMemFree(names.pElems);
    ::CoTaskMemFree(values.pElems);
    EXPECT_EQ(choices, (std::vector<std::pair<std::wstring, DWORD>>{{L"Yeşil", 0}, {L"Kırmızı", 1}, {L"Mavi", 2}}));
    VARIANT value;
    ASSERT_EQ(browsing->GetPredefinedValue(kStyle, 1, &value), S_OK);
    EXPECT_EQ(put(as<IDispatch>(browsing, IID_IDispatch), value.lVal), S_OK);
    BSTR shown = nullptr;
    ASSERT_EQ(browsing->GetDisplayString(kStyle, &shown), S_OK);
    EXPECT_STREQ(shown, L"Kırmızı");
    ::SysFreeString(shown);
    EXPECT_EQ(browsing->GetPredefinedStrings(0x1234, &names, &values), E_NOTIMPL);
    browsing->Release();
}

TEST_F(TavorixOle, StyleByNameWithTheControlsErrorsAndNotices)
{
    ASSERT_NE(factory, nullptr);
    IDispatch* control = create<IDispatch>(IID_IDispatch);
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"Style")};
    DISPID id = 0;
    ASSERT_EQ(control->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, kStyle);
    NoticeSink sink;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    ASSERT_EQ(as<IConnectionPointContainer>(control, IID_IConnectionPointContainer)
                  ->FindConnectionPoint(IID_IPropertyNotifySink, &point),
              S_OK);
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

    EXPECT_EQ(put(control, 2), S_OK);
    EXPECT_EQ(get(control), 2);
    // A failing put has stored the value and told the container first.
    const struct {
        std::int32_t value;
        HRESULT code;
        const wchar_t* description;
    } refused[] = {{3, static_cast<HRESULT>(0x800A0154), L"Control array element '3' doesn't exist"},
                   {65536, static_cast<HRESULT>(0x800A0006), L"Overflow"}};
    for (const auto& bad : refused) {
        EXCEPINFO exception{};
        EXPECT_EQ(put(control, bad.value, &exception), DISP_E_EXCEPTION);
        EXPECT_EQ(exception.scode, bad.code);
        EXPECT_STREQ(exception.bstrDescription, bad.description);
        EXPECT_EQ(get(control), bad.value);
    }
    EXPECT_EQ(sink.notices, (std::vector<DISPID>{kStyle, kStyle, kStyle}));
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    point->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    control->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(TavorixOle, StreamAndPropertyBagKeepTheStyleInForce)
{
    IDispatch* control = create<IDispatch>(IID_IDispatch);
    auto* persist = as<IPersistStreamInit>(control, IID_IPersistStreamInit);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->InitNew(), E_UNEXPECTED);
    put(control, 2);
    put(control, 3);  // refused: never saved
    IStream* stream = nullptr;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
    MemoryBag bag;
    ASSERT_EQ(as<IPersistPropertyBag>(control, IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE), S_OK);
    control->Release();

    IDispatch* fromStream = create<IDispatch>(IID_IDispatch);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(as<IPersistStreamInit>(fromStream, IID_IPersistStreamInit)->Load(stream), S_OK);
    EXPECT_EQ(get(fromStream), 2);
    fromStream->Release();
    stream->Release();

    ASSERT_EQ(bag.values.count(L"Style"), 1u);
    EXPECT_EQ(bag.values[L"Style"].lVal, 2);
    // A bag of a page's parameters holds texts.
    ::VariantClear(&bag.values[L"Style"]);
    bag.values[L"Style"].vt = VT_BSTR;
    bag.values[L"Style"].bstrVal = ::SysAllocString(L"1");
    IDispatch* fromBag = create<IDispatch>(IID_IDispatch);
    EXPECT_EQ(as<IPersistPropertyBag>(fromBag, IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(get(fromBag), 1);
    fromBag->Release();
    for (auto& [key, value] : bag.values)
        ::VariantClear(&value);
}

TEST_F(TavorixOle, ExtentInHimetricAndDrawingOnTheGround)
{
    IOleObject* control = create<IOleObject>(IID_IOleObject);
    DWORD status = 0;
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
    SIZEL extent{};
    EXPECT_EQ(control->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, 8467);  // 4800 x 3600 twips
    EXPECT_EQ(extent.cy, 6350);
    SIZEL given{2646, 1058};  // 1500 x 600 twips
    EXPECT_EQ(control->SetExtent(DVASPECT_CONTENT, &given), S_OK);
    SIZEL refused{-1, 100};
    EXPECT_EQ(control->SetExtent(DVASPECT_CONTENT, &refused), E_INVALIDARG);
    EXPECT_EQ(control->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, 2646);
    EXPECT_EQ(extent.cy, 1058);

    // Drawn into a memory bitmap: the row of green cells at the corner, the ground around it.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 200, -60, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ::SelectObject(dc, bitmap);
    const RECTL bounds{0, 0, 200, 60};
    EXPECT_EQ(as<IViewObject2>(control, IID_IViewObject2)
                  ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
              S_OK);
    ::GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const std::uint32_t ground = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    int lit = 0;
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 118; ++x) {
            const std::uint32_t pixel = pixels[y * 200 + x] & 0xFFFFFF;
            EXPECT_TRUE(pixel == 0 || pixel == 0x00FF00 || pixel == 0x008000) << x << ", " << y;
            lit += pixel == 0x00FF00;
        }
    }
    EXPECT_GT(lit, 0);
    EXPECT_EQ(pixels[27 * 200] & 0xFFFFFF, ground);
    EXPECT_EQ(pixels[59 * 200 + 199] & 0xFFFFFF, ground);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    control->Release();
}

TEST_F(TavorixOle, TheFactoryMakesOnlyItsClassAndLocksTheModule)
{
    ASSERT_NE(factory, nullptr);
    IUnknown* object = nullptr;
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&object)), CLASS_E_NOAGGREGATION);
    const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "DllGetClassObject")));
    EXPECT_EQ(getClassObject(tavorix::GUID_renk.as<GUID>(), IID_IClassFactory, reinterpret_cast<void**>(&object)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
