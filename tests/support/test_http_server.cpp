#include "tests/support/test_http_server.h"

#include "tests/support/sockets.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

std::string lower(std::string_view text)
{
    std::string result(text);
    for (auto& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

using namespace test_sockets;

}  // namespace

std::optional<std::string> HttpRequest::header(std::string_view name) const
{
    const std::string wanted = lower(name) + ":";
    std::size_t start = raw.find("\r\n");
    while (start != std::string::npos && start + 2 < raw.size()) {
        const std::size_t end = raw.find("\r\n", start + 2);
        const std::string line = raw.substr(start + 2, end - start - 2);
        if (lower(line).rfind(wanted, 0) == 0) {
            std::string value = line.substr(wanted.size());
            value.erase(0, value.find_first_not_of(' '));
            return value;
        }
        start = end;
    }
    return std::nullopt;
}

HttpReply HttpReply::file(const HttpRequest& request, const std::string& body, bool ranges)
{
    HttpReply reply;
    const auto range = request.header("Range");
    if (ranges && range && range->rfind("bytes=", 0) == 0 && range->back() == '-') {
        const std::size_t from = std::stoul(range->substr(6));
        if (from >= body.size()) {
            reply.status = 416;
            reply.reason = "Range Not Satisfiable";
            reply.headers.emplace_back("Content-Range", "bytes */" + std::to_string(body.size()));
            return reply;
        }
        reply.status = 206;
        reply.reason = "Partial Content";
        reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-"
                                                        + std::to_string(body.size() - 1) + "/"
                                                        + std::to_string(body.size()));
        reply.body = body.substr(from);
        return reply;
    }
    reply.body = body;
    return reply;
}

TestHttpServer::TestHttpServer(Handler handler) : m_handler(std::move(handler))
{
    m_listener = listenOnLoopback(m_port);
    const auto [writer, reader] = wakePair();
    m_stopWriter = writer;
    m_stopReader = reader;
    m_thread = std::thread([this] { run(); });
}

TestHttpServer::~TestHttpServer()
{
    sendAll(m_stopWriter, "s");
    m_thread.join();
    closeSocket(m_listener);
    closeSocket(m_stopWriter);
    closeSocket(m_stopReader);
}

std::string TestHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> TestHttpServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

bool TestHttpServer::waitForEndedConnections(std::size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_mutex);
    return m_endedChanged.wait_for(lock, limit, [&] { return m_ended >= count; });
}

void TestHttpServer::run()
{
    for (;;) {
        PollEntry fds[2] = {{m_listener, POLLIN, 0}, {m_stopReader, POLLIN, 0}};
        if (pollAll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            return;
        const Socket client = ::accept(m_listener, nullptr, nullptr);
        if (client != kNone) {
            serve(client);
            closeSocket(client);
            const std::lock_guard lock(m_mutex);
            ++m_ended;
            m_endedChanged.notify_all();
        }
    }
}

void TestHttpServer::serve(Socket client)
{
    std::string received;
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos) {
        PollEntry fds[2] = {{client, POLLIN, 0}, {m_stopReader, POLLIN, 0}};
        if (pollAll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            return;
        const auto got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    HttpRequest request;
    request.raw = received.substr(0, received.find("\r\n\r\n") + 2);
    const std::string line = request.raw.substr(0, request.raw.find("\r\n"));
    const auto first = line.find(' ');
    const auto last = line.rfind(' ');
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, last - first - 1);
    request.version = line.substr(last + 1);
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }

    const HttpReply reply = m_handler(request);
    if (reply.raw) {
        sendAll(client, *reply.raw);
        ::shutdown(client, kShutBoth);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    if (reply.dripHeaders) {
        for (const auto& [name, value] : reply.headers)
            head += name + ": " + value + "\r\n";
        if (!sendAll(client, head))
            return;
        for (int line = 0;; ++line) {
            PollEntry fds[2] = {{client, POLLIN, 0}, {m_stopReader, POLLIN, 0}};
            const int ready = pollAll(fds, 2, static_cast<int>(reply.dripHeaders->count()));
            if (ready < 0 || (fds[1].revents & POLLIN) || (fds[0].revents & POLLIN))
                return;  // stopped, or the client gave up
            if (!sendAll(client, "X-Drip: " + std::to_string(line) + "\r\n"))
                return;
        }
    }
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (reply.sendContentLength)
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!sendAll(client, head) || request.method == "HEAD")
        return;

    if (reply.trickle) {
        for (const char byte : reply.body) {
            PollEntry fds[2] = {{client, POLLIN, 0}, {m_stopReader, POLLIN, 0}};
            const int ready = pollAll(fds, 2, static_cast<int>(reply.trickle->count()));
            if (ready != 0 || !sendAll(client, std::string_view(&byte, 1)))
                return;  // stopped, or the client gave up
        }
        return;
    }
    std::size_t limit = reply.body.size();
    if (reply.dropAfter)
        limit = std::min(limit, *reply.dropAfter);
    if (reply.stallAfter)
        limit = std::min(limit, *reply.stallAfter);
    if (!sendAll(client, std::string_view(reply.body).substr(0, limit)))
        return;
    if (reply.stallAfter) {
        // Hold the connection open without sending until the client gives up or the test ends.
        for (;;) {
            PollEntry fds[2] = {{client, POLLIN, 0}, {m_stopReader, POLLIN, 0}};
            if (pollAll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
                return;
            if (::recv(client, buffer, sizeof buffer, 0) <= 0)
                return;
        }
    }
    if (reply.dropAfter)
        ::shutdown(client, kShutBoth);
}
