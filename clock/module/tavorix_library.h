#pragma once

#include "platform/com/guid.h"
#include "platform/com/type_library.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the module tavorix.ocx says about itself, on either system: its type library,
// identifiers, version data and the registration of its one class.
namespace tavorix {

// Fixed once; never change them between builds.
inline constexpr com::Guid LIBID_Tavorix{0x3E7A41C2, 0x9B5D, 0x4F08, {0xA1, 0xC6, 0x5D, 0x2E, 0x8B, 0x7F, 0x3A, 0x10}};
inline constexpr com::Guid CLSID_UserControl1{0x8C4F2D19,
                                              0x6A3B,
                                              0x4E7C,
                                              {0x9D, 0x21, 0x0B, 0x5F, 0x7A, 0x3C, 0x8E, 0x42}};
inline constexpr com::Guid IID__UserControl1{0xC2A9E5B7,
                                             0x1D4F,
                                             0x4A86,
                                             {0xB3, 0xE0, 0x7F, 0x6D, 0x2C, 0x1A, 0x9B, 0x58}};
inline constexpr com::Guid DIID___UserControl1{0x5F1B8D3A,
                                               0xE27C,
                                               0x4C95,
                                               {0x8A, 0x4D, 0x2B, 0x6E, 0x9F, 0x0C, 0x7D, 0x13}};
inline constexpr com::Guid GUID_renk{0xA7D3C6E1, 0x4B2F, 0x4D89, {0x9E, 0x5A, 0x1C, 0x8B, 0x3F, 0x7E, 0x2D, 0x64}};

inline constexpr char kProgId[] = "Tavorix.UserControl1";
inline constexpr std::uint32_t kMiscStatus = 0x20191;
inline constexpr int kToolboxBitmapId = 30000;

// The embedded type library (resource "TYPELIB" 1).
const com::TypeLibrary& typeLibrary();
// Its version as its registration names it, in hexadecimal: 17.0 is "11.0".
std::string typeLibraryVersionKey();

// The version resource.
struct VersionInfo {
    std::uint16_t fileVersion[4];
    std::uint16_t productVersion[4];
    std::string fileVersionText;
    std::string productVersionText;
    bool oleSelfRegister;
};
const VersionInfo& versionInfo();

// One value of the class's registration: `name` ("" for the default) of `key`, below the root
// of the registered classes.
struct RegistrationValue {
    std::string key;
    std::string name;
    std::string value;
};
// What registers the class for the module at `modulePath`: its program id, the class with its
// server, control marks, toolbox bitmap, type library and version. The type library's own keys
// are written by its registration.
std::vector<RegistrationValue> classRegistration(const std::string& modulePath);
// The keys whose trees the class's registration adds.
std::vector<std::string> classKeys();

// For whom a registration holds. On Windows the machine's lies below HKEY_CLASSES_ROOT and
// needs an administrator; the user's below HKEY_CURRENT_USER\Software\Classes needs no one.
// The Linux store is its user's own: both are that store.
enum class RegistrationScope { Machine, User };

// Writes (or removes) the registration of the class, its interfaces and the type library for
// the module at `modulePath`: in the store on Linux, in the system's registry on Windows.
// False when it cannot be written.
bool registerServer(const std::string& modulePath, RegistrationScope scope = RegistrationScope::Machine);
bool unregisterServer(RegistrationScope scope = RegistrationScope::Machine);

// The Linux module's resources, which it hands out through DllGetResource: "TYPELIB" 1 (the
// library's description), "VERSION" 1 (the version data as text) and "BITMAP" 30000 (the
// toolbox bitmap). nullopt for any other. The bytes live as long as the module. (A Windows
// module holds real resources.)
std::optional<std::string_view> resource(std::string_view type, std::uint32_t id);

}  // namespace tavorix
