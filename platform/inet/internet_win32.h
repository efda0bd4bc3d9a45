#pragma once

#include "platform/inet/handle_table.h"
#include "platform/inet/internet.h"
#include "platform/inet/pinned_authorities_win32.h"
#include "platform/inet/transfer_rules.h"
#include "platform/inet/urls_win32.h"
#include "platform/inet/wininet_async_win32.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace inet {

// The internet layer on WinINet, the platform's own internet API that the layer is shaped
// after. Sessions are asynchronous underneath, so that no call blocks beyond one wait slice:
// the calling thread waits for each operation's completion in slices, running the session's
// wait callback between them, and gives an operation up by closing its handle. Its handles and
// their sessions are here (internet_win32.cpp), its requests with their redirections and
// answers (wininet_requests_win32.cpp) and its reads (wininet_reads_win32.cpp) apart.
class WinInetInternet : public Internet {
public:
    WinInetInternet(Timeouts timeouts, TlsTrust trust);
    ~WinInetInternet() override;
    WinInetInternet(const WinInetInternet&) = delete;
    WinInetInternet& operator=(const WinInetInternet&) = delete;

    Handle openSession(const std::string& agent, std::uint32_t accessType, const std::optional<std::string>& proxy,
                       const std::optional<std::string>& proxyBypass, std::uint32_t) override;
    bool setWaitCallback(Handle session, WaitCallback callback) override;
    bool setProxyCredentials(Handle session, const std::string& user, const std::string& password) override;
    Handle connect(Handle session, const std::string& server, std::uint16_t port,
                   const std::optional<std::string>& user, const std::optional<std::string>& password,
                   std::uint32_t service, std::uint32_t, std::uintptr_t) override;
    Handle openRequest(Handle connection, const std::string& verb, const std::string& object,
                       const std::string& version, const std::optional<std::string>&, std::uint32_t flags,
                       std::uintptr_t) override;
    bool sendRequest(Handle requestHandle, const std::optional<std::string>& headers,
                     std::span<const std::byte>) override;
    bool queryInfo(Handle handle, std::uint32_t infoLevel, std::span<char> buffer, std::uint32_t& length,
                   std::uint32_t&) override;
    Handle openUrl(Handle sessionHandle, const std::string& text, const std::optional<std::string>& headers,
                   std::uint32_t, std::uintptr_t) override;
    std::uint32_t setFilePointer(Handle fileHandle, std::int32_t distance, std::int32_t* distanceHigh,
                                 std::uint32_t moveMethod, std::uintptr_t) override;
    bool readFile(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& bytesRead) override;
    bool closeHandle(Handle handle) override;

    std::size_t openHandleCount() const override { return m_objects.size(); }

private:
    using Clock = std::chrono::steady_clock;
    enum class Kind { Session, Connection, Request, Url };

    struct Object {
        Object(Kind k, Handle p) : kind(k), parent(p) {}
        ~Object() { closeInternet(); }
        Object(const Object&) = delete;
        Object& operator=(const Object&) = delete;
        void closeInternet()
        {
            if (request)
                ::InternetCloseHandle(request);
            if (connect)
                ::InternetCloseHandle(connect);
            if (internet)
                ::InternetCloseHandle(internet);
            request = connect = internet = nullptr;
            release(context);
            context = nullptr;
        }
        Kind kind;
        Handle parent;
        HINTERNET internet = nullptr;  // a session's
        HINTERNET connect = nullptr;   // of the request now answered
        HINTERNET request = nullptr;
        Context* context = nullptr;  // of `request`: the layer's share
        // Session.
        WaitCallback wait;
        std::optional<std::string> proxyUser;
        std::optional<std::string> proxyPassword;
        // Connection.
        std::string host;
        INTERNET_PORT port = 0;
        std::optional<std::string> user;
        std::optional<std::string> password;
        // Request.
        std::string verb;
        std::string object;
        std::string version;
        std::uint32_t flags = 0;
        // Request and URL: the final answer.
        bool answered = false;
        long statusCode = 0;
        std::string headerBlock;
        // URL.
        UrlParts url;
        std::string extraHeaders;
        bool readStarted = false;
        bool failed = false;
        bool atEnd = false;
        std::optional<StallRule> stall;
        std::optional<std::uint64_t> announced;  // the body's Content-Length, when it gave one
        std::uint64_t received = 0;
        std::unique_ptr<std::byte[]> ahead;  // read from WinINet: the caller's from aheadAt to aheadEnd
        std::size_t aheadAt = 0;
        std::size_t aheadEnd = 0;
    };

    // One request through its redirects: who sends it, how, with which credentials.
    struct Exchange {
        Handle session;
        std::string verb;
        std::string version;
        std::string headers;
        bool reload = false;
        std::optional<std::string> user;  // for the first URL's server alone
        std::optional<std::string> password;
    };

    Object* find(Handle handle, std::optional<Kind> kind = std::nullopt);

    Object& sessionOf(const Object& object);

    // Waits for `done` to be set, in slices, running the session's wait callback between them;
    // each slice, `goOn` is asked (with the time the callback took, which is the host's) whether
    // the wait is still worth it. False when the wait was given up (by the callback, at
    // `deadline`, by `goOn`), or when the callback closed the object of handle `owner` or its
    // session; the operation waited for must then be given up.
    bool await(HANDLE done, Handle session, Handle owner, Clock::time_point deadline,
               const std::function<bool(Clock::duration)>& goOn = {});

    // The stall rule for one more slice of waiting for the body of `fileHandle`: false once a
    // stall window has passed with too few bytes.
    bool bodyFlows(Handle fileHandle, Clock::duration hostTime);

    // Sends the request of `exchange` for `url` and follows its redirects, leaving the final
    // answer's handles and headers in `target`. False when no final answer came or the rules
    // refuse one: a redirect out of HTTPS, too many, an untrusted server.
    bool run(Object& target, Exchange exchange, UrlParts url);

    // One request and its answer's headers; the answer's handles replace the target's.
    bool sendOnce(Handle targetHandle, const Exchange& exchange, const UrlParts& url, bool withCredentials,
                  Clock::time_point deadline);

    bool trusted(HINTERNET request, const std::string& host);

    // The answer's status and header block into the target, when they are an HTTP answer the
    // layer takes.
    bool readAnswer(Handle targetHandle, Handle session, Clock::time_point deadline);

    // (Re)opens a URL handle's request, from `from` on when it is not 0.
    bool openUrlFile(Object& file, std::int64_t from);

    // One read for the caller: at most `buffer.size()` bytes, 0 at the end of the resource,
    // served from the URL's read-ahead.
    bool readSome(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& got);

    // One read of WinINet's into the URL's read-ahead: all that has come, up to kReadAhead;
    // nothing at the end of the body. The read does not wait: when nothing has come it goes
    // pending until something does, and then takes nothing (the next read takes it). So no
    // read waits for its buffer to fill, which a slow server would make a stall, and none that
    // is given up has taken bytes.
    bool readAhead(Handle fileHandle);

    void fail(Handle fileHandle);

    Timeouts m_timeouts;
    TlsTrust m_trust;
    PinnedAuthorities m_pinned;
    HandleTable<Object> m_objects;
};

}  // namespace inet
