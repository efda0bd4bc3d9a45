#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstdint>

// What a property browser shows of UserControl1's Style (IPerPropertyBrowsing): its values by
// their exact Turkish names, from the module's description, as a type library file cannot
// carry them. Each answers for the property `id` alone, E_NOTIMPL for any other.
namespace tavorix {

// The name of the value `style`, a new BSTR.
HRESULT styleDisplayString(DISPID id, std::int32_t style, BSTR* text);
// Every value's name and, as its cookie, the value itself; the arrays are the caller's.
HRESULT stylePredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies);
// The value a cookie stands for.
HRESULT stylePredefinedValue(DISPID id, DWORD cookie, VARIANT* value);

}  // namespace tavorix
