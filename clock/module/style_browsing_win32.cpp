#include "clock/module/style_browsing_win32.h"

#include "clock/module/tavorix_library.h"
#include "clock/user_control1.h"

#include <oleauto.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tavorix {

namespace {

// The values of Style by their exact Turkish names, from the module's description.
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

}  // namespace

HRESULT styleDisplayString(DISPID id, std::int32_t style, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    if (id != UserControl1::kStyleId)
        return E_NOTIMPL;
    for (const auto& [name, value] : styleNames()) {
        if (value == style)
            *text = ::SysAllocString(reinterpret_cast<const wchar_t*>(name.c_str()));
    }
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT stylePredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies)
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

HRESULT stylePredefinedValue(DISPID id, DWORD cookie, VARIANT* value)
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

}  // namespace tavorix
