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
// it allowed) that fits 63 bits, and all of them are the same: a body of any other length
// cannot be read right.
bool contentLengthIsSound(std::string_view block);

// The status of an answer's header block: its status line "HTTP/D.D NNN" (or "HTTP/2 NNN",
// "HTTP/3 NNN", as the library writes the answers of those versions), NNN from 100 to 599 and
// then a blank or the line's end, followed by at least one header line. nullopt for any other
// block: HTTP/0.9, another protocol, a status of letters or more digits, an answer without
// headers (what WinINet makes up for an answer that is not HTTP). Such is no answer.
std::optional<int> answerStatus(std::string_view block);

// What a range request may hang on ("If-Range") to get the rest of this very resource: the
// answer's ETag when it is strong, else its Last-Modified; nullopt when it gives neither.
std::optional<std::string> rangeValidator(std::string_view block);

// Content-Range "bytes A-B/N": the first byte A.
std::optional<std::int64_t> contentRangeStart(std::string_view contentRange);
// Content-Range "bytes */N" of an unsatisfiable range: the length N of the whole resource.
std::optional<std::int64_t> unsatisfiedRangeLength(std::string_view contentRange);

}  // namespace inet
