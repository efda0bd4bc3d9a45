#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace shell {

// Reads the bytes at `offset` into `into`; false when the file does not hold all of them.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::byte> into)>;

// True when a file of `size` bytes, read through `readAt`, is a whole ELF program: an
// executable or shared object (32 or 64 bits, either byte order) whose program-header table,
// every loadable segment, and the section-header table where there is one lie within the file.
// A file cut short anywhere in these fails, as does anything that is no ELF image.
bool isWholeElfProgram(std::uint64_t size, const ReadAt& readAt);

}  // namespace shell
