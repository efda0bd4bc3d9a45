#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace inet {

inline constexpr std::chrono::milliseconds kFetchTimeLimit{30'000};
inline constexpr std::size_t kFetchSizeLimit = 16 * 1024 * 1024;

// Fetches the whole document at `url` (cleaned as a browser cleans it, redirects followed),
// whatever its HTTP status, within `timeLimit`. nullopt when it cannot be had: no connection,
// a failed or over-long transfer, or more than `sizeLimit` bytes.
std::optional<std::string> fetchDocument(const std::string& url,
                                         std::chrono::milliseconds timeLimit = kFetchTimeLimit,
                                         std::size_t sizeLimit = kFetchSizeLimit);

}  // namespace inet
