// The exports of tavorix.ocx, the module's only boundary: plain C linkage, COM result codes,
// and no exception crosses it.
#include "clock/module/server.h"
#include "clock/module/tavorix_library.h"
#include "platform/com/module_path.h"

#include <string>

namespace {

std::string modulePath()
{
    static const int anchor = 0;  // an address of this module
    return com::modulePathOf(&anchor);
}

}  // namespace

COM_EXPORT com::HResult DllRegisterServer()
{
    try {
        const std::string path = modulePath();
        if (path.empty())
            return com::SELFREG_E_CLASS;
        return tavorix::registerServer(path) ? com::S_OK : com::SELFREG_E_CLASS;
    } catch (...) {
        return com::SELFREG_E_CLASS;
    }
}

COM_EXPORT com::HResult DllUnregisterServer()
{
    try {
        return tavorix::unregisterServer() ? com::S_OK : com::SELFREG_E_CLASS;
    } catch (...) {
        return com::SELFREG_E_CLASS;
    }
}

COM_EXPORT com::HResult DllGetClassObject(const com::Guid& clsid, const com::Guid& iid, void** object)
{
    try {
        if (!object)
            return com::E_POINTER;
        *object = nullptr;
        if (clsid != tavorix::CLSID_UserControl1)
            return com::CLASS_E_CLASSNOTAVAILABLE;
        return tavorix::userControl1Factory().QueryInterface(iid, object);
    } catch (...) {
        return com::E_FAIL;
    }
}

COM_EXPORT com::HResult DllGetResource(const char* type, std::uint32_t id, const void** data, std::size_t* size)
{
    try {
        if (!type || !data || !size)
            return com::E_POINTER;
        const auto bytes = tavorix::resource(type, id);
        if (!bytes)
            return com::E_INVALIDARG;
        *data = bytes->data();
        *size = bytes->size();
        return com::S_OK;
    } catch (...) {
        return com::E_FAIL;
    }
}

COM_EXPORT com::HResult DllCanUnloadNow()
{
    return tavorix::moduleInUse() ? com::S_FALSE : com::S_OK;
}
