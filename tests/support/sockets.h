#pragma once

// The few socket calls of the tests' scripted server, on either system's socket API.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace test_sockets {

#ifdef _WIN32
using Socket = SOCKET;
inline constexpr Socket kNone = INVALID_SOCKET;
using PollEntry = WSAPOLLFD;
inline int pollAll(PollEntry* entries, std::size_t count, int milliseconds)
{
    return ::WSAPoll(entries, static_cast<ULONG>(count), milliseconds);
}
inline void closeSocket(Socket socket)
{
    ::closesocket(socket);
}
inline void startup()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("no sockets");
}
inline constexpr int kSendFlags = 0;
inline constexpr int kShutBoth = SD_BOTH;
#else
using Socket = int;
inline constexpr Socket kNone = -1;
using PollEntry = pollfd;
inline int pollAll(PollEntry* entries, std::size_t count, int milliseconds)
{
    return ::poll(entries, count, milliseconds);
}
inline void closeSocket(Socket socket)
{
    ::close(socket);
}
inline void startup() {}
inline constexpr int kSendFlags = MSG_NOSIGNAL;
inline constexpr int kShutBoth = SHUT_RDWR;
#endif

// A socket listening on a free loopback port.
inline Socket listenOnLoopback(std::uint16_t& port)
{
    startup();
    const Socket listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener == kNone || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 16) != 0)
        throw std::runtime_error("test server cannot listen");
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return listener;
}

// Two connected sockets: what is written to the first wakes a poll on the second.
inline std::pair<Socket, Socket> wakePair()
{
    std::uint16_t port = 0;
    const Socket listener = listenOnLoopback(port);
    const Socket writer = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(writer, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("test server cannot make its wake pair");
    const Socket reader = ::accept(listener, nullptr, nullptr);
    closeSocket(listener);
    return {writer, reader};
}

inline bool sendAll(Socket socket, std::string_view data)
{
    while (!data.empty()) {
        const auto sent = ::send(socket, data.data(), static_cast<int>(data.size()), kSendFlags);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace test_sockets
