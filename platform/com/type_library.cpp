#include "platform/com/type_library.h"

#include "platform/runtime/text.h"

#include <cstdio>

namespace com {

namespace {

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string flagsOf(std::uint16_t flags)
{
    static constexpr std::pair<std::uint16_t, const char*> names[] = {{TYPEFLAG_FHIDDEN, "hidden"},
                                                                      {TYPEFLAG_FCONTROL, "control"},
                                                                      {TYPEFLAG_FDUAL, "dual"},
                                                                      {TYPEFLAG_FNONEXTENSIBLE, "nonextensible"},
                                                                      {TYPEFLAG_FOLEAUTOMATION, "oleautomation"}};
    std::string text;
    for (const auto& [flag, name] : names) {
        if (flags & flag)
            text += std::string(text.empty() ? "" : ", ") + name;
    }
    return text.empty() ? "" : " [" + text + "]";
}

}  // namespace

const TypeDescription* TypeLibrary::find(std::u16string_view name) const
{
    for (const auto& type : types) {
        if (type.name == name)
            return &type;
    }
    return nullptr;
}

std::vector<EnumeratedProperty> enumeratedProperties(const TypeLibrary& library, std::u16string_view interfaceName)
{
    std::vector<EnumeratedProperty> found;
    const TypeDescription* type = library.find(interfaceName);
    for (const PropertyDescription& property : type ? type->properties : std::vector<PropertyDescription>{}) {
        const TypeDescription* enumeration = library.find(property.type);
        if (property.put && enumeration && enumeration->kind == TypeDescription::Kind::Enumeration)
            found.push_back({property.name, enumeration->constants});
    }
    return found;
}

std::string describe(const TypeLibrary& library)
{
    using runtime::toUtf8;
    std::string text = "library " + toUtf8(library.name) + " " + std::to_string(library.majorVersion) + "."
                       + std::to_string(library.minorVersion) + " " + library.guid.toString() + " \""
                       + toUtf8(library.helpString) + "\" locale " + std::to_string(library.lcid)
                       + ((library.flags & LIBFLAG_FCONTROL) ? " [control]" : "") + "\n";
    for (const auto& type : library.types) {
        switch (type.kind) {
        case TypeDescription::Kind::CoClass:
            text += "  coclass " + toUtf8(type.name) + " " + type.guid.toString() + flagsOf(type.flags) + "\n";
            text += "    default " + toUtf8(type.defaultInterface) + ", source " + toUtf8(type.defaultSource) + "\n";
            break;
        case TypeDescription::Kind::Dispatch:
            text += "  dispinterface " + toUtf8(type.name) + " " + type.guid.toString() + flagsOf(type.flags) + "\n";
            for (const auto& property : type.properties) {
                text += "    property " + toUtf8(property.name) + " " + toUtf8(property.type) + " " + hex(property.id)
                        + (property.get ? " get" : "") + (property.put ? " put" : "") + "\n";
            }
            break;
        case TypeDescription::Kind::Enumeration:
            text += "  enum " + toUtf8(type.name) + " " + type.guid.toString() + "\n";
            for (const auto& [name, value] : type.constants)
                text += "    " + toUtf8(name) + " = " + std::to_string(value) + "\n";
            break;
        }
    }
    return text;
}

}  // namespace com
