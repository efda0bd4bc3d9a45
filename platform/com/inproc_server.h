#pragma once

#include "platform/com/com.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace com {

// A loaded in-process server module and its four exports. Unloads the module when destroyed,
// if the module says it may be unloaded; otherwise it stays loaded for the process's life.
class InprocServer {
public:
    // Loads `module`, a relative path taken from the current folder (never searched for on the
    // library path); nullptr and a message in `error` when it is no in-process server.
    static std::unique_ptr<InprocServer> load(const std::filesystem::path& module, std::string& error);
    ~InprocServer();
    InprocServer(const InprocServer&) = delete;
    InprocServer& operator=(const InprocServer&) = delete;

    HResult registerServer() const { return m_register(); }
    HResult unregisterServer() const { return m_unregister(); }
    HResult getClassObject(const Guid& clsid, const Guid& iid, void** object) const
    {
        return m_getClassObject(clsid, iid, object);
    }
    HResult canUnloadNow() const { return m_canUnloadNow(); }
    // A copy of the module's resource `id` of `type`; nullopt when it has none.
    std::optional<std::vector<std::byte>> resource(std::string_view type, std::uint32_t id) const;

private:
    InprocServer() = default;

    void* m_handle = nullptr;
    DllRegisterServerFn m_register = nullptr;
    DllUnregisterServerFn m_unregister = nullptr;
    DllGetClassObjectFn m_getClassObject = nullptr;
    DllCanUnloadNowFn m_canUnloadNow = nullptr;
    DllGetResourceFn m_getResource = nullptr;  // optional
};

// The class registered under a program id: its class identifier and module path.
struct RegisteredClass {
    Guid clsid;
    std::filesystem::path module;
};
std::optional<RegisteredClass> findClass(const std::string& progId);

// A message for a result code ("0x80040111 (class not available)").
std::string describe(HResult result);

}  // namespace com
