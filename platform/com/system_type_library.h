#pragma once

#include "platform/com/type_library.h"

#include <filesystem>
#include <optional>
#include <string>

namespace com {

// Type library files as the system writes and reads them (Windows): the form LoadTypeLib reads
// and a module embeds as its TYPELIB resource. The format keeps names in the ANSI code page of
// the system that writes them, and a reader decodes them in its own.

// Writes `library` at `file` by the system's own writer (ICreateTypeLib2), its types in their
// order. False with the reason in `error`.
bool writeTypeLibrary(const TypeLibrary& library, const std::filesystem::path& file, std::string& error);

// The library a file holds (a .tlb, or a module with a TYPELIB resource) as the system reads
// it: what writeTypeLibrary wrote, for the members a description holds. nullopt with the reason
// in `error`.
std::optional<TypeLibrary> readTypeLibrary(const std::filesystem::path& file, std::string& error);

}  // namespace com
