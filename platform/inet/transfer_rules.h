#pragma once

#include "platform/inet/internet.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The decisions of the internet layer that do not depend on the library it runs on: which
// server a connection may name, where a redirection leads and what it may carry there, whether
// an answer to a range request starts where it was asked to, and how long a body is. Both
// backends (libcurl, WinINet) keep only their mechanics and ask here.
namespace inet {

// "host" or "host:port" ("[v6 address]" or "[v6 address]:port"), as a connection is given it.
struct ServerAddress {
    std::string host;
    std::uint16_t port = 0;  // 0: the service's default
};
// The host and port of `server`, `port` unless the text names one; nullopt for text that is no
// host with an optional port (a scheme's "https:", a path, credentials, blanks, a port beyond
// 65535).
std::optional<ServerAddress> serverAddress(std::string_view server, std::uint16_t port);

// What the redirection rules look at of a URL: its scheme (lower case), host and port (the
// scheme's default when none is written).
struct Origin {
    std::string scheme;
    std::string host;
    std::uint16_t port = 0;
};

// Where an answer sends its request on: the Location of a redirection (3xx) that names one;
// nullopt for any other answer, which is the final one.
std::optional<std::string> redirectionOf(long status, std::string_view headerBlock);

// Whether a request that began at `first` may make its `redirects`-th redirection, to `next`:
// over HTTP or HTTPS alone, never out of HTTPS, at most kMaxRedirects of them.
bool mayFollow(const Origin& first, const Origin& next, long redirects);

// Whether a hop to `to` carries the credentials given for a request that began at `first`: only
// to the server they were given for (the same scheme, host and port).
bool carriesCredentials(const Origin& first, const Origin& to);

// What the answer to a request for a resource from byte `from` on ("Range: bytes=from-") means.
// `wholeLength` is the resource's length as the answer without a range gave it, if it did;
// `ifRange` tells whether the request made the range hang on the resource being unchanged
// ("If-Range" with its validator).
enum class RangeAnswer {
    FromPosition,   // 206 whose Content-Range starts at `from`: the body is the rest
    NothingLeft,    // 416 for a resource exactly `from` bytes long: no byte lies beyond
    WholeResource,  // 200: the server ignored the range; the first `from` bytes are to be dropped
    Changed,        // 200 to an "If-Range": the resource changed, the body is the whole new one
    Refused,        // anything else: the position cannot be reached
};
RangeAnswer rangeAnswerOf(long status, std::string_view headerBlock, std::int64_t from,
                          std::optional<std::uint64_t> wholeLength = std::nullopt, bool ifRange = false);

// The stall rule of a transfer's body: it has failed once fewer than the limits' `stallBytes`
// of it came within their stall time, counted from the moment that many last came (or from its
// start). Time the host holds the thread (a wait callback that shows a box, a reader that does
// not read) is none of the server's. Its clock is the caller's.
class StallRule {
public:
    using Clock = std::chrono::steady_clock;
    StallRule(const Timeouts& timeouts, Clock::time_point start) : m_timeouts(timeouts), m_windowStart(start) {}
    // Begins again at `now`, nothing received: a new request.
    void restart(Clock::time_point now);
    void received(std::uint64_t bytes, Clock::time_point now);
    // The host held the thread for `duration`.
    void pause(Clock::duration duration) { m_windowStart += duration; }
    bool stalled(Clock::time_point now) const { return now - m_windowStart >= m_timeouts.stall; }
    // How long a wait may last from `now` before the rule must be asked again.
    Clock::duration left(Clock::time_point now) const { return m_windowStart + m_timeouts.stall - now; }

private:
    Timeouts m_timeouts;
    Clock::time_point m_windowStart;
    std::uint64_t m_windowBytes = 0;
};

// The first byte that a request's own header lines ("Range: bytes=N-") ask for; nullopt when
// they ask for no such range.
std::optional<std::int64_t> requestedRangeStart(std::string_view headers);

// The body's length as the answer gives it (a sound Content-Length, see contentLengthIsSound);
// nullopt when it gives none.
std::optional<std::uint64_t> bodyLength(std::string_view headerBlock);

// Copies `text` and a closing NUL into `buffer`, of which the first `length` bytes may be
// written, as HttpQueryInfo answers: on success `length` is the count written (the NUL not
// counted); when both do not fit, false, and `length` is the size needed.
bool copyAnswer(std::string_view text, std::span<char> buffer, std::uint32_t& length);

}  // namespace inet
