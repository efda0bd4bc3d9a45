// The registration of tavorix.ocx in the system's registry: the class's keys below the root of
// the machine's classes or the user's, and the type library with its interfaces by the
// system's own registration for the one or the other.
#include "clock/module/tavorix_library.h"

#include "platform/com/com_ptr.h"
#include "platform/runtime/text.h"

#include <windows.h>
#include <oleauto.h>

#include <filesystem>

// The per-user forms of the type library's registration, which mingw-w64's headers lack.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND kind);
}

namespace tavorix {

namespace {

std::wstring wide(const std::string& utf8)
{
    const std::u16string text = runtime::fromUtf8(utf8);
    return {text.begin(), text.end()};
}

// The root of the registered classes for `scope`, and the path of `key` below it.
HKEY rootOf(RegistrationScope scope)
{
    return scope == RegistrationScope::User ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}

std::wstring below(RegistrationScope scope, const std::string& key)
{
    return (scope == RegistrationScope::User ? L"Software\\Classes\\" : L"") + wide(key);
}

bool store(RegistrationScope scope, const RegistrationValue& entry)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(rootOf(scope), below(scope, entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
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

bool registerServer(const std::string& modulePath, RegistrationScope scope)
{
    for (const auto& entry : classRegistration(modulePath)) {
        if (!store(scope, entry)) {
            unregisterServer(scope);  // nothing half registered
            return false;
        }
    }
    std::wstring module = wide(modulePath);
    std::wstring folder = std::filesystem::path(module).parent_path().wstring();
    com::Ptr<ITypeLib> library;
    HRESULT result = ::LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.out());
    if (SUCCEEDED(result)) {
        result = scope == RegistrationScope::User
                     ? ::RegisterTypeLibForUser(library.get(), module.data(), folder.data())
                     : ::RegisterTypeLib(library.get(), module.data(), folder.data());
    }
    if (FAILED(result)) {
        unregisterServer(scope);
        return false;
    }
    return true;
}

bool unregisterServer(RegistrationScope scope)
{
    bool removed = true;
    for (const auto& key : classKeys()) {
        const LONG result = ::RegDeleteTreeW(rootOf(scope), below(scope, key).c_str());
        removed = removed && (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND);
    }
    // The library's keys and those of its interfaces; a library never registered is no failure.
    const com::TypeLibrary& lib = typeLibrary();
    const GUID libid = LIBID_Tavorix.as<GUID>();
    const auto lcid = static_cast<LCID>(lib.lcid);
    const HRESULT result = scope == RegistrationScope::User
                               ? ::UnRegisterTypeLibForUser(libid, lib.majorVersion, lib.minorVersion, lcid, SYS_WIN64)
                               : ::UnRegisterTypeLib(libid, lib.majorVersion, lib.minorVersion, lcid, SYS_WIN64);
    return removed && (SUCCEEDED(result) || result == TYPE_E_REGISTRYACCESS || result == TYPE_E_LIBNOTREGISTERED);
}

}  // namespace tavorix
