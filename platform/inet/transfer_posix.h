#pragma once

#include "platform/inet/internet_posix.h"

#include "platform/inet/curl_library_posix.h"
#include "platform/inet/transfer_rules.h"
#include "platform/inet/urls_posix.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace inet {

// How a transfer reaches its server: what a session and a connection give it.
struct TransferSettings {
    std::string agent;
    std::uint32_t accessType = kOpenTypePreconfig;
    std::optional<std::string> proxy;
    std::optional<std::string> proxyUser;  // offered to a proxy that asks
    std::optional<std::string> proxyPassword;
    std::optional<std::string> user;  // offered to the first URL's server only
    std::optional<std::string> password;
    TlsTrust trust;
    long port = 0;
    bool head = false;
    bool http10 = false;
    bool reload = false;
    std::optional<std::int64_t> rangeFrom;
    std::string headers;  // more header lines, each ended by CR LF
    WaitCallback wait;
};

// One HTTP transfer driven step by step through a curl multi handle, so that its body can be
// read in pieces with bounded memory: the body is held in a fixed buffer, and the transfer is
// paused while the buffer is full. Redirects are followed here, one request per hop, so that
// each hop takes the proxy its own scheme calls for, a transfer asked over TLS never leaves it,
// and credentials go to the first URL's server alone.
class CurlTransfer {
public:
    CurlTransfer(const std::string& url, const TransferSettings& settings, const Timeouts& timeouts);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Waits until the final response's header block is complete and accepted (redirects
    // followed). False otherwise: bad URL, unknown host, refused or stalled connection, an
    // answer broken or never finished before its blank line (a malformed Content-Length, an
    // endless header), more redirects than kMaxRedirects or one the rules refuse, a wait given
    // up, an option curl refuses.
    bool waitForHeaders();
    // Runs the transfer to its end (for a HEAD request). False when it failed.
    bool finish();

    long statusCode() const { return m_statusCode; }
    // The final response's status line and header lines, each ended by CR LF, then an empty line.
    const std::string& headerBlock() const { return m_headerBlock; }
    // The value of the first header `name` (case-insensitive) of the final response.
    std::optional<std::string> header(std::string_view name) const;

    // Reads until `buffer` is full or the body ends. False on a failure: a reset connection, a
    // body shorter than announced, a stall (on average under a byte a second over the stall
    // time), a wait given up.
    bool read(std::span<std::byte> buffer, std::size_t& count);
    // Reads and drops `count` bytes; false when the body ends or fails before that.
    bool skip(std::int64_t count);

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t headerLine(std::string_view line);
    std::size_t body(std::span<const std::byte> bytes);

    // Starts the request of one hop; false when it cannot be made.
    bool startHop(const ParsedUrl& url);
    void endHop();
    // Starts the hop that the last answer redirected to; false when it may not be followed.
    bool followRedirect();

    // Runs curl once and waits for activity; false once the hop has ended or failed.
    bool pump();
    // Ends the transfer as failed; curl is not driven any further.
    void fail();
    // Runs the wait callback when a slice has passed since its last run; false to give up.
    bool keepWaiting(std::chrono::steady_clock::time_point now);
    // The time between two calls of the transfer's reader is the reader's, not the server's:
    // the stall rule's window leaves it out.
    void resume();
    void suspend();
    std::size_t buffered() const { return m_end - m_begin; }

    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_headers = nullptr;
    Timeouts m_timeouts;
    TransferSettings m_settings;
    std::optional<ParsedUrl> m_first;  // the URL asked for
    ParsedUrl m_current;               // the URL of this hop
    int m_redirects = 0;

    std::vector<std::byte> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_paused = false;

    std::string m_currentBlock;
    std::string m_headerBlock;
    std::optional<std::string> m_redirect;  // where the last block sent the transfer
    bool m_headersDone = false;
    long m_statusCode = 0;
    bool m_siteCredentials = false;   // this hop offers the site's credentials
    bool m_proxyCredentials = false;  // and the proxy's
    bool m_challenged = false;        // a demand for them came, which curl answers

    bool m_finished = false;
    bool m_failed = false;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastWait;
    StallRule m_stall;
    std::optional<std::chrono::steady_clock::time_point> m_suspended;
};

}  // namespace inet
