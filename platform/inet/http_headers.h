#pragma once

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

// Content-Range "bytes A-B/N": the first byte A.
std::optional<std::int64_t> contentRangeStart(std::string_view contentRange);
// Content-Range "bytes */N" of an unsatisfiable range: the length N of the whole resource.
std::optional<std::int64_t> unsatisfiedRangeLength(std::string_view contentRange);

}  // namespace inet
