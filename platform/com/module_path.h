#pragma once

#include <string>

// What a module's export boundary needs of the system: the attribute that exports a function,
// and the full path of the module that holds some address of it.
#if defined(_WIN32)
#define COM_EXPORT extern "C" __declspec(dllexport)
#else
#define COM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace com {

// The absolute path of the module (shared library or DLL) that holds `address`, with links
// resolved; "" when it cannot be told.
std::string modulePathOf(const void* address);

}  // namespace com
