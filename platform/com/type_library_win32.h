#pragma once

#include "platform/com/type_library.h"

#include <windows.h>
#include <oaidl.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace com {

// Type library files as the system writes and reads them (Windows): the form LoadTypeLib reads
// and a module embeds as its TYPELIB resource. The format keeps names and texts in the ANSI code
// page of the system that writes them, and a reader decodes them in its own: a letter beyond
// ASCII reads wrong elsewhere, or fails the whole library under a code page without it. So the
// file carries them in ASCII (portableName); the exact texts are the module's to give (a
// control's IPerPropertyBrowsing).

// A name or text as a file carries it: Turkish letters as their base letters ("Yeşil" is
// "Yesil"), any other letter beyond ASCII as "_".
std::u16string portableName(std::u16string_view text);

// Writes `library` at `file` by the system's own writer (ICreateTypeLib2), its types in their
// order. False with the reason in `error`.
bool writeTypeLibrary(const TypeLibrary& library, const std::filesystem::path& file, std::string& error);

// The library a file holds (a .tlb, or a module with a TYPELIB resource) as the system reads
// it: what writeTypeLibrary wrote, for the members a description holds. nullopt with the reason
// in `error`.
std::optional<TypeLibrary> readTypeLibrary(const std::filesystem::path& file, std::string& error);
// The same of a library loaded already (one a control's type information belongs to).
std::optional<TypeLibrary> readTypeLibrary(ITypeLib& library, std::string& error);

}  // namespace com
