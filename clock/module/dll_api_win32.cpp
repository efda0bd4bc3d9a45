// The exports of tavorix.ocx: the four of an in-process server, as COM and regsvr32 call them.
// No exception crosses them.
#include "clock/module/tavorix_library.h"
#include "clock/module/win32_ole_control.h"
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
