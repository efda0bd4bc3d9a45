#pragma once

#include "tests/support/sockets.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A scripted HTTP server on loopback for network tests. It answers one connection at a time
// with what the test's handler returns, and can misbehave on purpose: drop the connection in
// the middle of a body, or stall without sending anything more.
struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    std::string raw;  // request line and headers as received
    std::optional<std::string> header(std::string_view name) const;
};

struct HttpReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool sendContentLength = true;
    std::optional<std::size_t> dropAfter;   // close after this many body bytes
    std::optional<std::size_t> stallAfter;  // stop sending after this many body bytes
    // Sends the status line and `headers`, then one more header line this often, never ending
    // the header block.
    std::optional<std::chrono::milliseconds> dripHeaders;
    // Sends the body one byte at a time, this often.
    std::optional<std::chrono::milliseconds> trickle;
    // The whole answer as these bytes, whatever they are (no status line, a broken body), and
    // then the connection's end.
    std::optional<std::string> raw;

    // A 200 with `body`, or the 206 part from the request's "Range: bytes=N-" when `ranges`.
    static HttpReply file(const HttpRequest& request, const std::string& body, bool ranges = true);
};

class TestHttpServer {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    explicit TestHttpServer(Handler handler);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string url(const std::string& path) const;
    std::vector<HttpRequest> requests() const;
    // Waits until `count` connections have ended, by the client or by the server; false when
    // that takes longer than `limit`.
    bool waitForEndedConnections(std::size_t count, std::chrono::milliseconds limit) const;

private:
    void run();
    void serve(test_sockets::Socket client);

    Handler m_handler;
    test_sockets::Socket m_listener = test_sockets::kNone;
    // What is sent to the writer wakes the server's wait on the reader: the server stops.
    test_sockets::Socket m_stopWriter = test_sockets::kNone;
    test_sockets::Socket m_stopReader = test_sockets::kNone;
    std::uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    std::size_t m_ended = 0;
    mutable std::condition_variable m_endedChanged;
    std::thread m_thread;
};
