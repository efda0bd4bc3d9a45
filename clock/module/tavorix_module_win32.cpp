// The registration of tavorix.ocx in the system's registry: the class's keys below
// HKEY_CLASSES_ROOT, and the type library with its interfaces by the system's own registration.
#include "clock/module/tavorix_library.h"

#include "platform/runtime/text.h"

#include <windows.h>
#include <oleauto.h>

#include <filesystem>

namespace tavorix {

namespace {

std::wstring wide(const std::string& utf8)
{
    const std::u16string text = runtime::fromUtf8(utf8);
    return {text.begin(), text.end()};
}

bool store(const RegistrationValue& entry)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, wide(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const std::wstring name = wide(entry.name);
    const std::wstring value = wide(entry.value);
    const LONG result = ::RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace

bool registerServer(const std::string& modulePath)
{
    for (const auto& entry : classRegistration(modulePath)) {
        if (!store(entry)) {
            unregisterServer();  // nothing half registered
            return false;
        }
    }
    std::wstring module = wide(modulePath);
    std::wstring folder = std::filesystem::path(module).parent_path().wstring();
    ITypeLib* library = nullptr;
    HRESULT result = ::LoadTypeLibEx(module.c_str(), REGKIND_NONE, &library);
    if (SUCCEEDED(result)) {
        result = ::RegisterTypeLib(library, module.data(), folder.data());
        library->Release();
    }
    if (FAILED(result)) {
        unregisterServer();
        return false;
    }
    return true;
}

bool unregisterServer()
{
    bool removed = true;
    for (const auto& key : classKeys()) {
        const LONG result = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, wide(key).c_str());
        removed = removed && (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND);
    }
    // The library's keys and those of its interfaces; a library never registered is no failure.
    const com::TypeLibrary& lib = typeLibrary();
    const HRESULT result = ::UnRegisterTypeLib(LIBID_Tavorix.as<GUID>(), lib.majorVersion, lib.minorVersion,
                                               static_cast<LCID>(lib.lcid), SYS_WIN64);
    return removed && (SUCCEEDED(result) || result == TYPE_E_REGISTRYACCESS || result == TYPE_E_LIBNOTREGISTERED);
}

}  // namespace tavorix
