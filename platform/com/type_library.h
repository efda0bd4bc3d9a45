#pragma once

#include "platform/com/guid.h"
#include "platform/controls/dispatch.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The description of a type library, as a module embeds it and a container reads it.
namespace com {

inline constexpr std::uint16_t LIBFLAG_FCONTROL = 0x2;

inline constexpr std::uint16_t TYPEFLAG_FHIDDEN = 0x10;
inline constexpr std::uint16_t TYPEFLAG_FCONTROL = 0x20;
inline constexpr std::uint16_t TYPEFLAG_FDUAL = 0x40;
inline constexpr std::uint16_t TYPEFLAG_FNONEXTENSIBLE = 0x80;
inline constexpr std::uint16_t TYPEFLAG_FOLEAUTOMATION = 0x100;

struct PropertyDescription {
    std::u16string name;
    controls::DispId id;
    std::u16string type;  // the type's name: a base type or an enumeration of the library
    bool get;
    bool put;
    std::uint16_t flags = 0;
};

struct TypeDescription {
    enum class Kind { CoClass, Dispatch, Enumeration };
    Kind kind;
    std::u16string name;
    Guid guid;
    std::uint16_t flags = 0;
    std::vector<PropertyDescription> properties;                     // interfaces
    std::vector<std::pair<std::u16string, std::int32_t>> constants;  // enumerations
    std::u16string defaultInterface;                                 // classes
    std::u16string defaultSource;                                    // classes
};

struct TypeLibrary {
    std::u16string name;
    std::u16string helpString;
    Guid guid;
    std::uint32_t lcid = 0;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint16_t flags = 0;
    std::vector<TypeDescription> types;

    // The type named `name`, or nullptr.
    const TypeDescription* find(std::u16string_view name) const;
};

// A property put as one of the library's enumerations: what a container offers as a choice of
// named values.
struct EnumeratedProperty {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::int32_t>> values;
};
// Every such property of the interface `interfaceName`, in the interface's order.
std::vector<EnumeratedProperty> enumeratedProperties(const TypeLibrary& library, std::u16string_view interfaceName);

// The library as a reader sees it: its name, version and identifier, then each type with its
// flags and members, one per line (UTF-8). This is the text a module's "TYPELIB" resource holds.
std::string describe(const TypeLibrary& library);

}  // namespace com
