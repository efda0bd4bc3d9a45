#include "clock/module/tavorix_library.h"

#include "platform/com/module_resources.h"
#include "platform/com/registry.h"

#include "clock/clock_resources.h"

#include <cstdio>
#include <filesystem>

namespace tavorix {

namespace {

using com::TypeDescription;

std::string versionKey(std::uint16_t major, std::uint16_t minor)
{
    // Type library versions are registered in hexadecimal: 17.0 is "11.0".
    char text[16];
    std::snprintf(text, sizeof text, "%x.%x", major, minor);
    return text;
}

// The module's caller gets a result code alone: the reason, naming the store's file, goes
// where a registering tool's user reads it.
void reportStoreFailure(const com::Registry& registry)
{
    std::fprintf(stderr, "tavorix.ocx: the registration store %s\n",
                 registry.failure().empty() ? "cannot be used" : registry.failure().c_str());
}

}  // namespace

const com::TypeLibrary& typeLibrary()
{
    static const com::TypeLibrary library = [] {
        com::TypeLibrary lib;
        lib.name = u"Tavorix";
        lib.helpString = u"Tavorix";
        lib.guid = LIBID_Tavorix;
        lib.lcid = 0;
        lib.majorVersion = 17;
        lib.minorVersion = 0;
        lib.flags = com::LIBFLAG_FCONTROL;

        TypeDescription coclass{TypeDescription::Kind::CoClass, u"UserControl1", CLSID_UserControl1,
                                static_cast<std::uint16_t>(com::TYPEFLAG_FCONTROL), {}, {}, u"_UserControl1",
                                u"__UserControl1"};
        TypeDescription dual{TypeDescription::Kind::Dispatch, u"_UserControl1", IID__UserControl1,
                             static_cast<std::uint16_t>(com::TYPEFLAG_FHIDDEN | com::TYPEFLAG_FDUAL
                                                        | com::TYPEFLAG_FNONEXTENSIBLE | com::TYPEFLAG_FOLEAUTOMATION),
                             {{u"Style", 0x68030000, u"renk", true, true, 0}}, {}, {}, {}};
        TypeDescription source{TypeDescription::Kind::Dispatch, u"__UserControl1", DIID___UserControl1,
                               static_cast<std::uint16_t>(com::TYPEFLAG_FHIDDEN | com::TYPEFLAG_FNONEXTENSIBLE),
                               {}, {}, {}, {}};
        TypeDescription colours{TypeDescription::Kind::Enumeration, u"renk", GUID_renk, 0, {},
                                {{u"Yeşil", 0}, {u"Kırmızı", 1}, {u"Mavi", 2}}, {}, {}};
        lib.types = {coclass, dual, source, colours};
        return lib;
    }();
    return library;
}

const VersionInfo& versionInfo()
{
    static const VersionInfo info{{1, 0, 0, 0}, {1, 0, 0, 0}, "1.00", "1.00", true};
    return info;
}

std::optional<std::string_view> resource(std::string_view type, std::uint32_t id)
{
    static const std::string typeLibraryText = com::describe(typeLibrary());
    static const std::string versionText = [] {
        const VersionInfo& info = versionInfo();
        const auto version = [](const std::uint16_t (&parts)[4]) {
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

bool registerServer(const std::string& modulePath)
{
    const com::TypeLibrary& lib = typeLibrary();
    const std::string clsid = CLSID_UserControl1.toString();
    const std::string libid = LIBID_Tavorix.toString();
    const std::string version = versionKey(lib.majorVersion, lib.minorVersion);
    const std::string classKey = "CLSID\\" + clsid;

    com::Registry registry;
    bool stored = true;
    const auto set = [&](const std::string& key, const std::string& name, const std::string& value) {
        stored = stored && registry.setValue(key, name, value);
    };
    set(kProgId, "", "UserControl1");
    set(std::string(kProgId) + "\\CLSID", "", clsid);
    set(classKey, "", kProgId);
    set(classKey + "\\InprocServer32", "", modulePath);
    set(classKey + "\\InprocServer32", "ThreadingModel", "Apartment");
    set(classKey + "\\ProgID", "", kProgId);
    set(classKey + "\\Control", "", "");
    set(classKey + "\\MiscStatus", "", "0");
    set(classKey + "\\MiscStatus\\1", "", std::to_string(kMiscStatus));
    set(classKey + "\\ToolboxBitmap32", "", modulePath + ", " + std::to_string(kToolboxBitmapId));
    set(classKey + "\\TypeLib", "", libid);
    set(classKey + "\\Version", "", std::to_string(lib.majorVersion) + "." + std::to_string(lib.minorVersion));

    const std::string libKey = "TypeLib\\" + libid + "\\" + version;
    set(libKey, "", "Tavorix");
    set(libKey + "\\0\\linux64", "", modulePath + "\\1");
    set(libKey + "\\FLAGS", "", std::to_string(lib.flags));
    set(libKey + "\\HELPDIR", "", std::filesystem::path(modulePath).parent_path().string());

    for (const auto& [iid, name] : {std::pair{IID__UserControl1, "_UserControl1"},
                                    std::pair{DIID___UserControl1, "__UserControl1"}}) {
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

bool unregisterServer()
{
    com::Registry registry;
    if (!registry.exists())
        return true;  // nothing was ever registered: nothing to write either
    registry.removeTree(kProgId);
    registry.removeTree("CLSID\\" + CLSID_UserControl1.toString());
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
