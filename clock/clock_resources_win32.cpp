#include "clock/clock_resources.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

std::vector<std::byte> clockResource(std::string_view name)
{
    // The library's own module: the one that holds this function.
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&clockResource), &module);
    std::wstring resource;
    for (const char c : name)
        resource += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c)));
    const HRSRC found = ::FindResourceW(module, resource.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    const auto* first = static_cast<const std::byte*>(bytes);
    return {first, first + ::SizeofResource(module, found)};
}
