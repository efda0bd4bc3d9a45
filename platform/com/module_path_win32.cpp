#include "platform/com/module_path.h"

#include "platform/runtime/text.h"

#include <windows.h>

#include <vector>

namespace com {

std::string modulePathOf(const void* address)
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module))
        return {};
    // A path may run to the system's longest; a cut one would register the wrong file.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return runtime::toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), length));
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace com
