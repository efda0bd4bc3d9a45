#pragma once

#include "platform/shell/elf_image.h"

#include <cstdint>

namespace shell {

// True when a file of `size` bytes, read through `readAt`, is a whole PE image (a Windows
// program or module, 32 or 64 bits): its headers, its section table, every section's data and
// its certificate table, where it has one, lie within the file. A file cut short anywhere in
// these fails, as does anything that is no PE image.
bool isWholePeImage(std::uint64_t size, const ReadAt& readAt);

}  // namespace shell
