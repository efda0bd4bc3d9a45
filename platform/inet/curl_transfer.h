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

// How a transfer reaches its server: what a session and a connection give it.
struct TransferSettings {
    std::string agent;
    std::uint32_t accessType = kOpenTypePreconfig;
    std::optional<std::string> proxy;
    std::optional<std::string> user;
    std::optional<std::string> password;
    long port = 0;
    bool head = false;
    bool http10 = false;
    bool reload = false;
    std::optional<std::int64_t> rangeFrom;
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

    // Waits for the headers of the final response (redirects followed). False when the
    // transfer failed before that: bad URL, unknown host, refused or stalled connection.
    bool waitForHeaders();
    // Runs the transfer to its end (for a HEAD request). False when it failed.
    bool finish();

    long statusCode() const { return m_statusCode; }
    // The final response's status line and header lines, each ended by CR LF, then an empty line.
    const std::string& headerBlock() const { return m_headerBlock; }
    // The value of the first header `name` (case-insensitive) of the final response.
    std::optional<std::string> header(std::string_view name) const;

    // Reads until `buffer` is full or the body ends. False on a failure: a reset connection, a
    // body shorter than announced, a stall.
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
    bool m_headersDone = false;
    long m_statusCode = 0;

    bool m_finished = false;
    bool m_failed = false;
    std::chrono::steady_clock::time_point m_lastActivity;
};

}  // namespace inet
