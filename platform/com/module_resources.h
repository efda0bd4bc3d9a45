#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Resources of a control module: typed, numbered blocks of bytes that a container or a tool
// reads without making any object, as the registration store promises them: a type library
// at "MODULE\N" (resource "TYPELIB" N) and a toolbox bitmap at "MODULE, N" (resource
// "BITMAP" N). A module hands them out through its export DllGetResource.
namespace com {

inline constexpr char kTypeLibResource[] = "TYPELIB";  // the library's description (UTF-8 text)
inline constexpr char kBitmapResource[] = "BITMAP";    // a BMP file
inline constexpr char kVersionResource[] = "VERSION";  // the version data (UTF-8 text)

struct ResourceLocation {
    std::filesystem::path module;
    std::string type;
    std::uint32_t id = 0;
};

// The location a registration value names: "MODULE\N" for a type library, "MODULE, N" for a
// bitmap. nullopt for a text of neither form.
std::optional<ResourceLocation> typeLibraryLocation(std::string_view value);
std::optional<ResourceLocation> bitmapLocation(std::string_view value);

// Loads the module and copies the resource out; nullopt (and a message in `error`) when the
// module cannot be loaded or has no such resource.
std::optional<std::vector<std::byte>> readResource(const ResourceLocation& location, std::string& error);

}  // namespace com
