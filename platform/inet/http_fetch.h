#pragma once

#include "platform/inet/curl_internet.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace inet {

inline constexpr std::chrono::milliseconds kFetchTimeLimit{30'000};
inline constexpr std::size_t kFetchSizeLimit = 16 * 1024 * 1024;

// Fetches the whole document at `url` (cleaned as a browser cleans it, redirects followed,
// the system's proxy settings applied, a TLS server's certificate checked against `trust`),
// whatever its HTTP status, within `timeLimit`. `wait` runs while the fetch waits (see
// WaitCallback). nullopt when the document cannot be had: no connection, an untrusted server,
// a failed or over-long transfer, more than `sizeLimit` bytes, a wait given up.
std::optional<std::string> fetchDocument(const std::string& url, const WaitCallback& wait = {},
                                         const TlsTrust& trust = {},
                                         std::chrono::milliseconds timeLimit = kFetchTimeLimit,
                                         std::size_t sizeLimit = kFetchSizeLimit);

}  // namespace inet
