#pragma once

#include "platform/inet/curl_internet.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace inet {

// Owns curl_global_init for the life of the process; call before any other curl function.
void ensureCurlInitialised();

// The proxy that the environment names for `url` ("http_proxy", "https_proxy", and
// "no_proxy" for hosts that are reached directly; lower case first, then upper case), as curl
// takes a proxy: "" for none.
struct EnvironmentProxy {
    std::string proxy;
    std::string noProxy;
};
EnvironmentProxy environmentProxy(std::string_view url);

// How a transfer reaches its server: what a session and a connection give it.
struct TransferSettings {
    std::string agent;
    std::uint32_t accessType = kOpenTypePreconfig;
    std::optional<std::string> proxy;
    std::optional<std::string> proxyUser;  // offered to a proxy that asks
    std::optional<std::string> proxyPassword;
    std::optional<std::string> user;
    std::optional<std::string> password;
    TlsTrust trust;
    long port = 0;
    bool head = false;
    bool http10 = false;
    bool reload = false;
    std::optional<std::int64_t> rangeFrom;
    // A limit on the whole transfer, headers and body, besides the stall and header limits.
    std::optional<std::chrono::milliseconds> totalLimit;
    WaitCallback wait;
};

// One HTTP transfer driven step by step through a curl multi handle, so that its body can be
// read in pieces with bounded memory: the body is held in a fixed buffer, and the transfer is
// paused while the buffer is full.
class CurlTransfer {
public:
    CurlTransfer(const std::string& url, const TransferSettings& settings, const Timeouts& timeouts);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Waits for the headers of the final response (redirects followed). False when no server
    // answered: bad URL, unknown host, refused or stalled connection, a wait given up. An answer
    // that is broken after its status line (a malformed Content-Length, say) counts as one:
    // the failure then shows on the first read.
    bool waitForHeaders();
    // Runs the transfer to its end (for a HEAD request). False when it failed.
    bool finish();

    long statusCode() const { return m_statusCode; }
    // The final response's status line and header lines, each ended by CR LF, then an empty line.
    const std::string& headerBlock() const { return m_headerBlock; }
    // The value of the first header `name` (case-insensitive) of the final response.
    std::optional<std::string> header(std::string_view name) const;

    // Reads until `buffer` is full or the body ends. False on a failure: a reset connection, a
    // body shorter than announced or with a malformed length, a stall, a wait given up.
    bool read(std::span<std::byte> buffer, std::size_t& count);
    // Reads and drops `count` bytes; false when the body ends or fails before that.
    bool skip(std::int64_t count);

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t headerLine(std::string_view line);
    std::size_t body(std::span<const std::byte> bytes);

    // Runs curl once and waits for activity; false once the transfer has ended or stalled.
    bool pump();
    // Ends the transfer as failed; curl is not driven any further.
    void fail();
    // Runs the wait callback when a slice has passed since its last run; false to give up.
    bool keepWaiting(std::chrono::steady_clock::time_point now);
    std::size_t buffered() const { return m_end - m_begin; }

    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
    Timeouts m_timeouts;

    std::vector<std::byte> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_paused = false;

    std::string m_currentBlock;
    std::string m_headerBlock;
    bool m_blockHasLocation = false;
    std::optional<std::string> m_blockLength;  // the block's Content-Length, if any
    bool m_blockLengthMalformed = false;
    bool m_answered = false;  // a final answer's status line arrived
    bool m_headersDone = false;
    long m_statusCode = 0;
    bool m_head = false;

    bool m_finished = false;
    bool m_failed = false;
    WaitCallback m_wait;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastActivity;
    std::chrono::steady_clock::time_point m_lastWait;
};

}  // namespace inet
