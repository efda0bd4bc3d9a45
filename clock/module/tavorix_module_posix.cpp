// The Linux module's own surface: its resources, handed out by DllGetResource, and its
// registration in the store of this user.
#include "clock/module/tavorix_library.h"

#include "clock/picture.h"
#include "platform/com/module_resources.h"
#include "platform/com/registry.h"

#include <cstdio>
#include <filesystem>

namespace tavorix {

namespace {

// The module's caller gets a result code alone: the reason, naming the store's file, goes
// where a registering tool's user reads it.
void reportStoreFailure(const com::Registry& registry)
{
    std::fprintf(stderr, "tavorix.ocx: the registration store %s\n",
                 registry.failure().empty() ? "cannot be used" : registry.failure().c_str());
}

}  // namespace

std::optional<std::string_view> resource(std::string_view type, std::uint32_t id)
{
    static const std::string typeLibraryText = com::describe(typeLibrary());
    static const std::string versionText = [] {
        const VersionInfo& info = versionInfo();
        const auto version = [](const std::uint16_t(&parts)[4]) {
            return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "."
                   + std::to_string(parts[3]);
        };
        return "FileVersion " + version(info.fileVersion) + " \"" + info.fileVersionText + "\"\nProductVersion "
               + version(info.productVersion) + " \"" + info.productVersionText + "\"\n"
               + (info.oleSelfRegister ? "OLESelfRegister\n" : "");
    }();
    static const std::string toolboxBitmap = [] {
        const auto bytes = clockResource("toolbox30000.bmp");
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }();
    if (type == com::kTypeLibResource && id == 1)
        return typeLibraryText;
    if (type == com::kVersionResource && id == 1)
        return versionText;
    if (type == com::kBitmapResource && id == static_cast<std::uint32_t>(kToolboxBitmapId) && !toolboxBitmap.empty())
        return toolboxBitmap;
    return std::nullopt;
}

bool registerServer(const std::string& modulePath, RegistrationScope)
{
    const com::TypeLibrary& lib = typeLibrary();
    const std::string libid = LIBID_Tavorix.toString();
    const std::string version = typeLibraryVersionKey();

    com::Registry registry;
    bool stored = true;
    const auto set = [&](const std::string& key, const std::string& name, const std::string& value) {
        stored = stored && registry.setValue(key, name, value);
    };
    for (const auto& entry : classRegistration(modulePath))
        set(entry.key, entry.name, entry.value);

    // The type library's keys, as the system writes them when it registers one.
    const std::string libKey = "TypeLib\\" + libid + "\\" + version;
    set(libKey, "", "Tavorix");
    set(libKey + "\\0\\linux64", "", modulePath + "\\1");
    set(libKey + "\\FLAGS", "", std::to_string(lib.flags));
    set(libKey + "\\HELPDIR", "", std::filesystem::path(modulePath).parent_path().string());

    for (const auto& [iid, name] :
         {std::pair{IID__UserControl1, "_UserControl1"}, std::pair{DIID___UserControl1, "__UserControl1"}}) {
        const std::string key = "Interface\\" + iid.toString();
        set(key, "", name);
        set(key + "\\TypeLib", "", libid);
        set(key + "\\TypeLib", "Version", version);
    }
    if (!registry.readable()) {
        reportStoreFailure(registry);
        return false;
    }
    // A value the store cannot hold (a module path with a line break) registers nothing.
    if (!stored) {
        std::fprintf(stderr, "tavorix.ocx: a module whose path holds a line break cannot be registered\n");
        return false;
    }
    if (!registry.save()) {
        reportStoreFailure(registry);
        return false;
    }
    return true;
}

bool unregisterServer(RegistrationScope)
{
    com::Registry registry;
    if (!registry.exists())
        return true;  // nothing was ever registered: nothing to write either
    for (const auto& key : classKeys())
        registry.removeTree(key);
    registry.removeTree("TypeLib\\" + LIBID_Tavorix.toString());
    registry.removeTree("Interface\\" + IID__UserControl1.toString());
    registry.removeTree("Interface\\" + DIID___UserControl1.toString());
    if (!registry.save()) {
        reportStoreFailure(registry);
        return false;
    }
    return true;
}

}  // namespace tavorix
