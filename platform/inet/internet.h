#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// A WinINet-shaped internet layer: synchronous calls on 32-bit handles, 0 meaning none. Texts
// are byte strings in the system's ANSI code page (runtime::toAnsi). Failures are reported by
// the return value, which is what the download control examines; no call throws but
// openSession, when the system's internet library cannot be loaded (see there).
namespace inet {

using Handle = std::uint32_t;

inline constexpr std::uint32_t kOpenTypePreconfig = 0;
inline constexpr std::uint32_t kOpenTypeDirect = 1;
inline constexpr std::uint32_t kOpenTypeProxy = 3;

inline constexpr std::uint16_t kInvalidPortNumber = 0;  // the service's default port
inline constexpr std::uint32_t kServiceHttp = 3;

inline constexpr std::uint32_t kFlagReload = 0x80000000;
inline constexpr std::uint32_t kFlagSecure = 0x00800000;  // the request goes over TLS
inline constexpr std::uint32_t kFlagExistingConnect = 0x20000000;

inline constexpr std::uint32_t kQueryStatusCode = 19;
inline constexpr std::uint32_t kQueryRawHeadersCrlf = 22;

inline constexpr std::uint32_t kFileCurrent = 1;
inline constexpr std::uint32_t kInvalidSetFilePointer = 0xFFFFFFFF;

// Runs while a call waits on the network, at least every kWaitSlice and never more often, so
// that a host on one thread can process its pending events. Returning false gives the wait up:
// the waiting call then fails (a read never reports the end of the resource because of it).
using WaitCallback = std::function<bool()>;
inline constexpr std::chrono::milliseconds kWaitSlice{100};

// Limits of the internet layer. A test may shorten them.
struct Timeouts {
    // Giving up on a connection that does not come up.
    std::chrono::milliseconds connect{30'000};
    // A transfer that delivers fewer than `stallBytes` bytes in this long has failed: one that
    // sends nothing, and one that trickles (on average under a byte a second).
    std::chrono::milliseconds stall{60'000};
    // A server that has not finished the final response's headers by then has failed, however
    // slowly it keeps sending them.
    std::chrono::milliseconds headers{60'000};
    std::uint64_t stallBytes = 60;
};

inline constexpr Timeouts kDefaultTimeouts{};

// Whom a TLS server's certificate must chain to: the system's authorities, or only those of a
// PEM text (pinning). Certificates are always verified.
struct TlsTrust {
    std::string authoritiesPem;  // empty: the system's store
};

// Redirects followed for one request at most.
inline constexpr long kMaxRedirects = 10;

// The URL text cleaned as a browser cleans what is typed or pasted: leading and trailing
// spaces and control characters removed, tabs and line breaks dropped, other spaces and
// control characters percent-encoded.
std::string cleanUrl(std::string_view url);

class Internet {
public:
    virtual ~Internet() = default;

    // InternetOpen: a session. `proxy` is used only with kOpenTypeProxy; kOpenTypePreconfig
    // follows the system's settings, here the proxy variables of the environment. Throws
    // runtime::RuntimeError 48 "Error in loading DLL" when the library behind the layer cannot
    // be loaded (libcurl, which Linux loads with the first session).
    virtual Handle openSession(const std::string& agent, std::uint32_t accessType,
                               const std::optional<std::string>& proxy, const std::optional<std::string>& proxyBypass,
                               std::uint32_t flags) = 0;

    // InternetSetStatusCallback, for waits: `callback` serves every call on `session` and on the
    // handles opened from it. False for a handle that is no session.
    virtual bool setWaitCallback(Handle session, WaitCallback callback) = 0;

    // InternetSetOption with the proxy's user name and password: every request on `session`
    // offers them to a proxy that asks. False for a handle that is no session.
    virtual bool setProxyCredentials(Handle session, const std::string& user, const std::string& password) = 0;

    // InternetConnect: a connection to `server` (which may carry ":port"); port 0 is the
    // service's default. No user (nullopt) sends no credentials; an empty one is a user name.
    virtual Handle connect(Handle session, const std::string& server, std::uint16_t port,
                           const std::optional<std::string>& user, const std::optional<std::string>& password,
                           std::uint32_t service, std::uint32_t flags, std::uintptr_t context) = 0;

    // HttpOpenRequest on a connection; kFlagSecure in `flags` speaks HTTPS to the server.
    virtual Handle openRequest(Handle connection, const std::string& verb, const std::string& object,
                               const std::string& version, const std::optional<std::string>& referrer,
                               std::uint32_t flags, std::uintptr_t context) = 0;

    // HttpSendRequest: sends the request and waits for the response headers.
    virtual bool sendRequest(Handle request, const std::optional<std::string>& headers,
                             std::span<const std::byte> optional) = 0;

    // HttpQueryInfo into `buffer`, of which the first `length` bytes may be written. On success
    // `length` is the count written (the closing NUL not counted); when the answer does not
    // fit, the call fails and `length` tells the size needed.
    virtual bool queryInfo(Handle request, std::uint32_t infoLevel, std::span<char> buffer, std::uint32_t& length,
                           std::uint32_t& index) = 0;

    // InternetOpenUrl: starts a GET of `url` and waits for the response headers.
    virtual Handle openUrl(Handle session, const std::string& url, const std::optional<std::string>& headers,
                           std::uint32_t flags, std::uintptr_t context) = 0;

    // InternetSetFilePointer: the new position, or kInvalidSetFilePointer when refused. A URL
    // opened with its own range from `distance` ("Range: bytes=N-" among openUrl's headers)
    // stands there already: its answer is judged, no request is made. With "If-Range" among
    // them, a whole answer means the resource changed: the position is then 0, its first byte.
    virtual std::uint32_t setFilePointer(Handle file, std::int32_t distance, std::int32_t* distanceHigh,
                                         std::uint32_t moveMethod, std::uintptr_t context) = 0;

    // InternetReadFile: blocks until `buffer` is full or the resource ends. Success with
    // bytesRead 0 is the end of the resource.
    virtual bool readFile(Handle file, std::span<std::byte> buffer, std::uint32_t& bytesRead) = 0;

    // InternetCloseHandle: closing a session or connection closes what was opened on it.
    // Closing 0 or an unknown handle is harmless.
    virtual bool closeHandle(Handle handle) = 0;

    // Handles open now, for tests that check that every handle is released.
    virtual std::size_t openHandleCount() const = 0;
};

// The internet layer of the system this program was built for: libcurl on Linux, WinINet on
// Windows. Redirects are followed (never from HTTPS to anything else), a TLS server's
// certificate must chain to `trust`, and the limits of `timeouts` hold on every call.
std::unique_ptr<Internet> systemInternet(Timeouts timeouts = kDefaultTimeouts, TlsTrust trust = {});

}  // namespace inet
