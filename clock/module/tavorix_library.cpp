#include "clock/module/tavorix_library.h"

#include <cstdio>

namespace tavorix {

using com::TypeDescription;

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

        TypeDescription coclass{TypeDescription::Kind::CoClass,
                                u"UserControl1",
                                CLSID_UserControl1,
                                static_cast<std::uint16_t>(com::TYPEFLAG_FCONTROL),
                                {},
                                {},
                                u"_UserControl1",
                                u"__UserControl1"};
        TypeDescription dual{TypeDescription::Kind::Dispatch,
                             u"_UserControl1",
                             IID__UserControl1,
                             static_cast<std::uint16_t>(com::TYPEFLAG_FHIDDEN | com::TYPEFLAG_FDUAL
                                                        | com::TYPEFLAG_FNONEXTENSIBLE | com::TYPEFLAG_FOLEAUTOMATION),
                             {{u"Style", 0x68030000, u"renk", true, true, 0}},
                             {},
                             {},
                             {}};
        TypeDescription source{TypeDescription::Kind::Dispatch,
                               u"__UserControl1",
                               DIID___UserControl1,
                               static_cast<std::uint16_t>(com::TYPEFLAG_FHIDDEN | com::TYPEFLAG_FNONEXTENSIBLE),
                               {},
                               {},
                               {},
                               {}};
        TypeDescription colours{TypeDescription::Kind::Enumeration,
                                u"renk",
                                GUID_renk,
                                0,
                                {},
                                {{u"Yeşil", 0}, {u"Kırmızı", 1}, {u"Mavi", 2}},
                                {},
                                {}};
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

std::string typeLibraryVersionKey()
{
    // Type library versions are registered in hexadecimal: 17.0 is "11.0".
    char text[16];
    std::snprintf(text, sizeof text, "%x.%x", typeLibrary().majorVersion, typeLibrary().minorVersion);
    return text;
}

std::vector<RegistrationValue> classRegistration(const std::string& modulePath)
{
    const com::TypeLibrary& lib = typeLibrary();
    const std::string clsid = CLSID_UserControl1.toString();
    const std::string classKey = "CLSID\\" + clsid;
    return {
        {kProgId, "", "UserControl1"},
        {std::string(kProgId) + "\\CLSID", "", clsid},
        {classKey, "", kProgId},
        {classKey + "\\InprocServer32", "", modulePath},
        {classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {classKey + "\\ProgID", "", kProgId},
        {classKey + "\\Control", "", ""},
        {classKey + "\\MiscStatus", "", "0"},
        {classKey + "\\MiscStatus\\1", "", std::to_string(kMiscStatus)},
        {classKey + "\\ToolboxBitmap32", "", modulePath + ", " + std::to_string(kToolboxBitmapId)},
        {classKey + "\\TypeLib", "", LIBID_Tavorix.toString()},
        {classKey + "\\Version", "", std::to_string(lib.majorVersion) + "." + std::to_string(lib.minorVersion)},
    };
}

std::vector<std::string> classKeys()
{
    return {kProgId, "CLSID\\" + CLSID_UserControl1.toString()};
}

}  // namespace tavorix
