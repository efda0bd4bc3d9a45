// The exports of tavorix.ocx: the four of an in-process server and DllInstall, as COM and
// regsvr32 call them. No exception crosses them.
#include "clock/module/server.h"
#include "clock/module/tavorix_library.h"
#include "platform/com/module_path.h"

#include <olectl.h>

STDAPI DllRegisterServer()
{
    try {
        static const int anchor = 0;  // an address of this module
        const std::string path = com::modulePathOf(&anchor);
        return !path.empty() && tavorix::registerServer(path) ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

STDAPI DllUnregisterServer()
{
    try {
        return tavorix::unregisterServer() ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

// regsvr32 /n /i:user (and /u for its removal): the registration for this user alone, which a
// per-user install makes without an administrator. Any other command line is the machine's.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    try {
        const bool user = commandLine && ::CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL;
        const auto scope = user ? tavorix::RegistrationScope::User : tavorix::RegistrationScope::Machine;
        if (!install)
            return tavorix::unregisterServer(scope) ? S_OK : SELFREG_E_CLASS;
        static const int anchor = 0;
        const std::string path = com::modulePathOf(&anchor);
        return !path.empty() && tavorix::registerServer(path, scope) ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != tavorix::CLSID_UserControl1.as<GUID>())
        return CLASS_E_CLASSNOTAVAILABLE;
    return tavorix::userControl1Factory().QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow()
{
    return tavorix::moduleInUse() ? S_FALSE : S_OK;
}
