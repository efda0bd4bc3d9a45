#include "platform/com/module_path.h"

#include <cstdlib>
#include <dlfcn.h>

namespace com {

std::string modulePathOf(const void* address)
{
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    // The registration must name the module wherever the container runs from.
    char* resolved = ::realpath(info.dli_fname, nullptr);
    if (!resolved)
        return {};
    std::string path(resolved);
    std::free(resolved);
    return path;
}

}  // namespace com
