#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Readers of the header lines that the internet layer itself acts on (the answer to a range
// request). A header block is a status line and header lines, each ended by CR LF.
namespace inet {

// The value of the first header `name` (case-insensitive) in `block`, without leading blanks;
// nullopt when the block has none.
std::optional<std::string> headerValue(std::string_view block, std::string_view name);

// A header block the layers take at most: what curl takes too.
inline constexpr std::size_t kMaxHeaderBlock = 100 * 1024;

// True when every Content-Length of `block` is a number of decimal digits alone (blanks around
// it allowed) and all of them are the same: a body of any other length cannot be read right.
bool contentLengthIsSound(std::string_view block);

// Content-Range "bytes A-B/N": the first byte A.
std::optional<std::int64_t> contentRangeStart(std::string_view contentRange);
// Content-Range "bytes */N" of an unsatisfiable range: the length N of the whole resource.
std::optional<std::int64_t> unsatisfiedRangeLength(std::string_view contentRange);

}  // namespace inet
