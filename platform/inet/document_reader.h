#pragma once

#include "platform/inet/internet.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace inet {

// How much a small document may cost.
struct DocumentLimits {
    std::chrono::milliseconds time{30'000};
    std::size_t size = 16 * 1024 * 1024;
};

struct Document {
    std::uint32_t status = 0;  // the final answer's HTTP status
    std::string body;
};

// Reads the whole document at `url` through `internet`, in a session of its own with the
// system's settings and `agent`, redirects followed, whatever its status. nullopt when it
// cannot be had: no connection, an untrusted server, a failed transfer, more than the limits
// allow, a wait given up. `wait` runs while the read waits (see WaitCallback).
std::optional<Document> readDocument(Internet& internet, const std::string& agent, const std::string& url,
                                     const WaitCallback& wait = {}, const DocumentLimits& limits = {});

}  // namespace inet
