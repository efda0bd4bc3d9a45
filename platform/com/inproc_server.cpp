#include "platform/com/inproc_server.h"

#include "platform/com/registry.h"
#include "platform/shell/elf_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace com {

namespace {

// Why the file at `module` is no whole shared object, or "" when it is one.
std::string wholenessProblem(const std::filesystem::path& module)
{
    const int fd = ::open(module.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string(" cannot be read: ") + std::strerror(errno);
    struct stat info {};
    const bool whole =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
        && shell::isWholeElfProgram(static_cast<std::uint64_t>(info.st_size),
                                    [fd](std::uint64_t offset, std::span<std::byte> into) {
                                        return ::pread(fd, into.data(), into.size(), static_cast<off_t>(offset))
                                               == static_cast<ssize_t>(into.size());
                                    });
    ::close(fd);
    return whole ? std::string() : " is not a whole module";
}

}  // namespace

std::unique_ptr<InprocServer> InprocServer::load(const std::filesystem::path& given, std::string& error)
{
    // dlopen searches the library path for a name without a slash; a module is a file.
    if (given.empty()) {
        error = "no module is named";
        return nullptr;
    }
    std::error_code ignored;
    const std::filesystem::path module = std::filesystem::absolute(given, ignored);
    // A file cut short would be mapped, and its missing pages read, by the loader: only a
    // whole image is ever loaded.
    if (const std::string problem = wholenessProblem(module); !problem.empty()) {
        error = module.string() + problem;
        return nullptr;
    }
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        error = "cannot load " + module.string() + ": " + (reason ? reason : "unknown reason");
        return nullptr;
    }
    std::unique_ptr<InprocServer> server(new InprocServer());
    server->m_handle = handle;
    server->m_register = reinterpret_cast<DllRegisterServerFn>(::dlsym(handle, "DllRegisterServer"));
    server->m_unregister = reinterpret_cast<DllUnregisterServerFn>(::dlsym(handle, "DllUnregisterServer"));
    server->m_getClassObject = reinterpret_cast<DllGetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
    server->m_canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(handle, "DllCanUnloadNow"));
    server->m_getResource = reinterpret_cast<DllGetResourceFn>(::dlsym(handle, "DllGetResource"));
    if (!server->m_register || !server->m_unregister || !server->m_getClassObject || !server->m_canUnloadNow) {
        error = module.string() + " is no in-process server: its exports are missing";
        return nullptr;
    }
    return server;
}

std::optional<std::vector<std::byte>> InprocServer::resource(std::string_view type, std::uint32_t id) const
{
    const void* data = nullptr;
    std::size_t size = 0;
    const std::string typeName(type);
    if (!m_getResource || m_getResource(typeName.c_str(), id, &data, &size) != S_OK || !data)
        return std::nullopt;
    const auto* bytes = static_cast<const std::byte*>(data);
    return std::vector<std::byte>(bytes, bytes + size);
}

InprocServer::~InprocServer()
{
    if (m_handle && (!m_canUnloadNow || m_canUnloadNow() == S_OK))
        ::dlclose(m_handle);
}

std::optional<RegisteredClass> findClass(const std::string& progId)
{
    const Registry registry;
    const auto clsidText = registry.value(progId + "\\CLSID");
    const auto clsid = clsidText ? Guid::parse(*clsidText) : std::nullopt;
    if (!clsid)
        return std::nullopt;
    const auto module = registry.value("CLSID\\" + clsid->toString() + "\\InprocServer32");
    if (!module)
        return std::nullopt;
    return RegisteredClass{*clsid, *module};
}

std::string describe(HResult result)
{
    const char* meaning = "failure";
    switch (result) {
    case S_OK: meaning = "success"; break;
    case E_NOINTERFACE: meaning = "interface not supported"; break;
    case E_POINTER: meaning = "null pointer"; break;
    case E_OUTOFMEMORY: meaning = "out of memory"; break;
    case CLASS_E_CLASSNOTAVAILABLE: meaning = "class not available"; break;
    case CLASS_E_NOAGGREGATION: meaning = "no aggregation"; break;
    case SELFREG_E_CLASS: meaning = "the class could not be registered"; break;
    case SELFREG_E_TYPELIB: meaning = "the type library could not be registered"; break;
    case DISP_E_MEMBERNOTFOUND: meaning = "member not found"; break;
    case DISP_E_EXCEPTION: meaning = "the member raised an error"; break;
    default: break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "0x%08X (%s)", static_cast<unsigned>(result), meaning);
    return text;
}

}  // namespace com
