#include "platform/inet/curl_library_posix.h"

#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <dlfcn.h>

#include <string>

namespace inet {

namespace {

// The library of Debian's libcurl4 package, by its ABI's name.
constexpr char kLibraryName[] = "libcurl.so.4";

[[noreturn]] void cannotLoad(const std::string& why)
{
    throw runtime::RuntimeError(runtime::error::kErrorInLoadingDll,
                                runtime::standardDescription(runtime::error::kErrorInLoadingDll) + u" ("
                                    + runtime::fromUtf8(kLibraryName) + u": " + runtime::fromUtf8(why) + u")");
}

CurlLibrary load()
{
    // Never closed: curl stays set up for the process's life.
    void* library = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        cannotLoad(::dlerror());
    CurlLibrary curl;
#define INET_CURL_BIND(name)                                                                                           \
    curl.name = reinterpret_cast<decltype(curl.name)>(::dlsym(library, "curl_" #name));                                \
    if (!curl.name)                                                                                                    \
        cannotLoad("no curl_" #name);
    INET_CURL_FUNCTIONS(INET_CURL_BIND)
#undef INET_CURL_BIND
    const auto globalInit = reinterpret_cast<decltype(&::curl_global_init)>(::dlsym(library, "curl_global_init"));
    if (!globalInit || globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        cannotLoad("curl_global_init failed");
    return curl;
}

}  // namespace

const CurlLibrary& curl()
{
    // A function-local static: loaded once, thread-safely; a load that threw is tried again.
    static const CurlLibrary library = load();
    return library;
}

}  // namespace inet
