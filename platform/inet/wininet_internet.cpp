// The internet layer on WinINet, the platform's own internet API that the layer is shaped
// after. Sessions are asynchronous underneath, so that no call blocks beyond one wait slice:
// the calling thread waits for each operation's completion in slices, running the session's
// wait callback between them, and gives an operation up by closing its handle.
#include "platform/inet/http_headers.h"
#include "platform/inet/internet.h"
#include "platform/inet/pinned_authorities_win32.h"
#include "platform/inet/transfer_rules.h"

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <vector>

// Not in every SDK's headers: the chain of the server's certificate, as the system built it.
#ifndef INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT
#define INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT 105
#endif

namespace inet {

namespace {

using Clock = std::chrono::steady_clock;

// What one read underneath takes at most: each read costs Wine some tenths of a millisecond
// whatever its size, so that 64 KiB reads alone took three times curl's whole download.
constexpr DWORD kReadAhead = 1024 * 1024;

// What the status callback, on a thread of WinINet's own, reports about one handle's
// operations. Two own it: the layer until it closes the handle, and WinINet until it reports
// the handle closing (an operation given up may still complete, and write here); the last one
// deletes it.
struct Context {
    Context() : done(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Context() { ::CloseHandle(done); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    HANDLE done;
    std::atomic<int> owners{2};
    std::atomic<DWORD_PTR> result{0};
};

void release(Context* context)
{
    if (context && --context->owners == 0)
        delete context;
}

void CALLBACK statusCallback(HINTERNET, DWORD_PTR contextValue, DWORD status, LPVOID information, DWORD)
{
    auto* context = reinterpret_cast<Context*>(contextValue);
    if (!context)
        return;
    if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
        const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        context->result = outcome->dwResult;
        ::SetEvent(context->done);
    } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        release(context);  // WinINet's last word on the handle
    }
}

// Processor time that building one answer's raw header text may take. WinINet builds it in
// time that grows with the square of the count of header lines (under Wine: 40,000 short lines
// take half a minute, twice: the length alone costs as much), and cannot tell the length
// without building the text. A real server's block takes well under a millisecond, 5,000 lines
// of 100 KiB about a third of this.
constexpr std::chrono::milliseconds kHeaderWork{500};

// The processor time a thread has used.
std::chrono::nanoseconds processorTime(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return {};
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
}

// HttpQueryInfo of an answer's raw header text, with room for kMaxHeaderBlock, on a thread of
// its own, so that the caller's thread can wait for it in slices and give it up. Two own it:
// the caller until it has waited, and the thread until the query returns.
class RawHeaderQuery {
public:
    static RawHeaderQuery* start(HINTERNET request)
    {
        auto* query = new RawHeaderQuery(request);
        query->m_thread = ::CreateThread(nullptr, 0, &RawHeaderQuery::run, query, 0, nullptr);
        if (!query->m_thread) {
            query->m_owners = 1;
            release(query);
            return nullptr;
        }
        return query;
    }
    static void release(RawHeaderQuery* query)
    {
        if (query && --query->m_owners == 0)
            delete query;
    }
    HANDLE done() const { return m_done; }
    std::chrono::nanoseconds work() const { return processorTime(m_thread); }
    // After done(): the text, or nullopt when the query failed or the text did not fit.
    std::optional<std::string> text() const
    {
        if (!m_ok)
            return std::nullopt;
        return m_text.substr(0, m_length);
    }

private:
    explicit RawHeaderQuery(HINTERNET request)
        : m_request(request), m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_text(kMaxHeaderBlock + 1, '\0')
    {
    }
    ~RawHeaderQuery()
    {
        if (m_thread)
            ::CloseHandle(m_thread);
        ::CloseHandle(m_done);
    }
    static DWORD WINAPI run(void* self)
    {
        auto* query = static_cast<RawHeaderQuery*>(self);
        query->m_length = static_cast<DWORD>(query->m_text.size());
        query->m_ok = ::HttpQueryInfoA(query->m_request, HTTP_QUERY_RAW_HEADERS_CRLF, query->m_text.data(),
                                       &query->m_length, nullptr);
        ::SetEvent(query->m_done);
        release(query);
        return 0;
    }

    HINTERNET m_request;  // WinINet keeps what a query works on until it returns
    HANDLE m_done;
    HANDLE m_thread = nullptr;
    std::atomic<int> m_owners{2};
    std::string m_text;
    DWORD m_length = 0;
    BOOL m_ok = FALSE;
};

// The parts of a URL, as WinINet reads them.
struct UrlParts {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::string host;
    INTERNET_PORT port = 0;
    std::string object;  // path and query
};

std::optional<UrlParts> crack(const std::string& url)
{
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (url.empty() || !::InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || parts.dwHostNameLength == 0)
        return std::nullopt;
    UrlParts cracked;
    cracked.scheme = parts.nScheme;
    cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    cracked.port = parts.nPort;
    cracked.object.assign(parts.lpszUrlPath ? parts.lpszUrlPath : "", parts.dwUrlPathLength);
    cracked.object.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : "", parts.dwExtraInfoLength);
    if (cracked.object.empty())
        cracked.object = "/";
    return cracked;
}

// The absolute URL that a Location names, relative to `base`.
std::optional<std::string> combine(const std::string& base, const std::string& location)
{
    std::string combined(INTERNET_MAX_URL_LENGTH + 1, '\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (!::InternetCombineUrlA(base.c_str(), location.c_str(), combined.data(), &length, ICU_NO_ENCODE))
        return std::nullopt;
    combined.resize(length);
    return combined;
}

// The redirection rules' view of a URL.
Origin originOf(const UrlParts& url)
{
    return Origin{url.scheme == INTERNET_SCHEME_HTTPS ? "https" : "http", url.host, url.port};
}

// As HttpQueryInfo answers into the caller's buffer.
bool answer(std::string_view text, std::span<char> buffer, std::uint32_t& length)
{
    if (copyAnswer(text, buffer, length))
        return true;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

}  // namespace

class WinInetInternet : public Internet {
public:
    WinInetInternet(Timeouts timeouts, TlsTrust trust)
        : m_timeouts(timeouts)
        , m_trust(std::move(trust))
        , m_pinned(m_trust.authoritiesPem)
    {
    }
    ~WinInetInternet() override
    {
        std::vector<Handle> handles;
        for (const auto& [handle, object] : m_objects)
            handles.push_back(handle);
        for (const Handle handle : handles)
            closeHandle(handle);
    }
    WinInetInternet(const WinInetInternet&) = delete;
    WinInetInternet& operator=(const WinInetInternet&) = delete;

    Handle openSession(const std::string& agent, std::uint32_t accessType, const std::optional<std::string>& proxy,
                       const std::optional<std::string>& proxyBypass, std::uint32_t) override
    {
        if (accessType != kOpenTypePreconfig && accessType != kOpenTypeDirect && accessType != kOpenTypeProxy)
            return 0;
        if (accessType == kOpenTypeProxy && !proxy)
            return 0;
        const HINTERNET session = ::InternetOpenA(agent.c_str(), accessType, proxy ? proxy->c_str() : nullptr,
                                                  proxyBypass ? proxyBypass->c_str() : nullptr, INTERNET_FLAG_ASYNC);
        if (!session)
            return 0;
        ::InternetSetStatusCallbackA(session, statusCallback);
        DWORD connect = static_cast<DWORD>(m_timeouts.connect.count());
        ::InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        auto object = std::make_unique<Object>(Kind::Session, 0);
        object->internet = session;
        return add(std::move(object));
    }

    bool setWaitCallback(Handle session, WaitCallback callback) override
    {
        Object* object = find(session, Kind::Session);
        if (!object)
            return false;
        object->wait = std::move(callback);
        return true;
    }

    bool setProxyCredentials(Handle session, const std::string& user, const std::string& password) override
    {
        Object* object = find(session, Kind::Session);
        if (!object)
            return false;
        object->proxyUser = user;
        object->proxyPassword = password;
        return true;
    }

    Handle connect(Handle session, const std::string& server, std::uint16_t port,
                   const std::optional<std::string>& user, const std::optional<std::string>& password,
                   std::uint32_t service, std::uint32_t, std::uintptr_t) override
    {
        const auto where = serverAddress(server, port);
        if (!find(session, Kind::Session) || service != kServiceHttp || !where)
            return 0;
        auto object = std::make_unique<Object>(Kind::Connection, session);
        object->host = where->host;
        object->port = where->port;
        object->user = user;
        object->password = password;
        return add(std::move(object));
    }

    Handle openRequest(Handle connection, const std::string& verb, const std::string& object,
                       const std::string& version, const std::optional<std::string>&, std::uint32_t flags,
                       std::uintptr_t) override
    {
        if (!find(connection, Kind::Connection))
            return 0;
        auto request = std::make_unique<Object>(Kind::Request, connection);
        request->verb = verb.empty() ? std::string("GET") : verb;
        request->object = object.empty() || object.front() != '/' ? "/" + object : object;
        request->version = version;
        request->flags = flags;
        return add(std::move(request));
    }

    bool sendRequest(Handle requestHandle, const std::optional<std::string>& headers,
                     std::span<const std::byte>) override
    {
        Object* request = find(requestHandle, Kind::Request);
        if (!request)
            return false;
        const Object& connection = *find(request->parent, Kind::Connection);
        const bool secure = (request->flags & kFlagSecure) != 0;
        UrlParts url{secure ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP, connection.host, connection.port,
                     request->object};
        if (url.port == INTERNET_INVALID_PORT_NUMBER)
            url.port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
        Exchange exchange{connection.parent, request->verb, request->version, headers.value_or(""),
                          (request->flags & kFlagReload) != 0, connection.user, connection.password};
        return run(*request, exchange, url);
    }

    bool queryInfo(Handle handle, std::uint32_t infoLevel, std::span<char> buffer, std::uint32_t& length,
                   std::uint32_t&) override
    {
        const Object* object = find(handle);
        if (!object || !object->answered || (object->kind != Kind::Request && object->kind != Kind::Url))
            return false;
        switch (infoLevel) {
        case kQueryRawHeadersCrlf: return answer(object->headerBlock, buffer, length);
        case kQueryStatusCode: return answer(std::to_string(object->statusCode), buffer, length);
        default: return false;
        }
    }

    Handle openUrl(Handle sessionHandle, const std::string& text, const std::optional<std::string>& headers,
                   std::uint32_t, std::uintptr_t) override
    {
        if (!find(sessionHandle, Kind::Session))
            return 0;
        const auto url = crack(cleanUrl(text));
        if (!url)
            return 0;
        auto file = std::make_unique<Object>(Kind::Url, sessionHandle);
        file->url = *url;
        file->extraHeaders = headers.value_or("");
        const Handle handle = add(std::move(file));
        if (!openUrlFile(*find(handle), 0)) {
            closeHandle(handle);
            return 0;
        }
        return handle;
    }

    std::uint32_t setFilePointer(Handle fileHandle, std::int32_t distance, std::int32_t* distanceHigh,
                                 std::uint32_t moveMethod, std::uintptr_t) override
    {
        Object* file = find(fileHandle, Kind::Url);
        if (!file || file->readStarted || moveMethod != kFileCurrent || distance < 0
            || (distanceHigh && *distanceHigh != 0))
            return kInvalidSetFilePointer;
        if (distance == 0)
            return 0;
        // The platform's own move is not to be relied on: the rest is asked for again with a
        // range, and the answer must really start at `distance`.
        if (!openUrlFile(*file, distance) || !find(fileHandle, Kind::Url))
            return kInvalidSetFilePointer;
        switch (rangeAnswerOf(file->statusCode, file->headerBlock, distance)) {
        case RangeAnswer::FromPosition: break;
        case RangeAnswer::NothingLeft: file->atEnd = true; break;
        case RangeAnswer::WholeResource: {
            // Drop what is already held.
            std::vector<std::byte> scratch(2048);
            for (std::int64_t left = distance; left > 0;) {
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, scratch.size()));
                std::uint32_t got = 0;
                if (!readSome(fileHandle, std::span(scratch.data(), want), got) || got == 0)
                    return kInvalidSetFilePointer;
                left -= got;
            }
            break;
        }
        case RangeAnswer::Refused: return kInvalidSetFilePointer;
        }
        return static_cast<std::uint32_t>(distance);
    }

    bool readFile(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& bytesRead) override
    {
        bytesRead = 0;
        Object* file = find(fileHandle, Kind::Url);
        if (!file || file->failed)
            return false;
        file->readStarted = true;
        if (file->atEnd)
            return true;
        // Until the buffer is full or the resource ends, as the synchronous call reads.
        while (bytesRead < buffer.size()) {
            std::uint32_t got = 0;
            if (!readSome(fileHandle, buffer.subspan(bytesRead), got)) {
                // Bytes already taken are delivered and the failure shows next, unless the
                // handle itself was closed while waiting.
                return bytesRead > 0 && find(fileHandle, Kind::Url);
            }
            if (got == 0)
                break;
            bytesRead += got;
        }
        return true;
    }

    bool closeHandle(Handle handle) override
    {
        const auto it = m_objects.find(handle);
        if (handle == 0 || it == m_objects.end())
            return false;
        std::vector<Handle> children;
        for (const auto& [child, object] : m_objects) {
            if (object->parent == handle)
                children.push_back(child);
        }
        for (const Handle child : children)
            closeHandle(child);
        m_objects.erase(handle);
        return true;
    }

    std::size_t openHandleCount() const override { return m_objects.size(); }

private:
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
        Context* context = nullptr;    // of `request`: the layer's share
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
        Clock::time_point windowStart;
        std::uint64_t windowBytes = 0;
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

    Handle add(std::unique_ptr<Object> object)
    {
        const Handle handle = m_nextHandle++;
        if (m_nextHandle == 0)
            m_nextHandle = 1;
        m_objects.emplace(handle, std::move(object));
        return handle;
    }

    Object* find(Handle handle, std::optional<Kind> kind = std::nullopt)
    {
        const auto it = m_objects.find(handle);
        if (it == m_objects.end() || (kind && it->second->kind != *kind))
            return nullptr;
        return it->second.get();
    }

    Object& sessionOf(const Object& object)
    {
        Handle handle = object.parent;
        while (find(handle) && find(handle)->kind != Kind::Session)
            handle = find(handle)->parent;
        return *find(handle, Kind::Session);
    }

    // Waits for `done` to be set, in slices, running the session's wait callback between them;
    // each slice, `goOn` is asked (with the time the callback took, which is the host's) whether
    // the wait is still worth it. False when the wait was given up (by the callback, at
    // `deadline`, by `goOn`), or when the callback closed the object of handle `owner` or its
    // session; the operation waited for must then be given up.
    bool await(HANDLE done, Handle session, Handle owner, Clock::time_point deadline,
               const std::function<bool(Clock::duration)>& goOn = {})
    {
        for (;;) {
            const auto now = Clock::now();
            if (now >= deadline)
                return false;
            const auto slice = std::min<Clock::duration>(kWaitSlice, deadline - now);
            const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(slice).count();
            if (::WaitForSingleObject(done, static_cast<DWORD>(std::max<long long>(milliseconds, 1))) == WAIT_OBJECT_0)
                return true;
            Object* sessionObject = find(session, Kind::Session);
            if (!sessionObject)
                return false;  // the session was closed while waiting
            const auto before = Clock::now();
            if (sessionObject->wait && !sessionObject->wait())
                return false;
            // The callback may have closed what is waited on.
            if (!find(session, Kind::Session) || !find(owner))
                return false;
            // The callback may have run for long (a modal box): that time is the host's.
            const auto spent = Clock::now() - before;
            deadline += spent;
            if (goOn && !goOn(spent))
                return false;
        }
    }

    // The stall rule for one more slice of waiting for the body of `fileHandle`: false once a
    // stall window has passed with too few bytes.
    bool bodyFlows(Handle fileHandle, Clock::duration hostTime)
    {
        Object* file = find(fileHandle, Kind::Url);
        file->windowStart += hostTime;
        const auto now = Clock::now();
        if (now - file->windowStart >= m_timeouts.stall) {
            if (file->windowBytes < std::max<std::uint64_t>(m_timeouts.stallBytes, 1))
                return false;
            file->windowStart = now;
            file->windowBytes = 0;
        }
        return true;
    }

    // Sends the request of `exchange` for `url` and follows its redirects, leaving the final
    // answer's handles and headers in `target`. False when no final answer came or the rules
    // refuse one: a redirect out of HTTPS, too many, an untrusted server.
    bool run(Object& target, Exchange exchange, UrlParts url)
    {
        const Handle targetHandle = findHandleOf(target);
        const UrlParts first = url;
        auto deadline = Clock::now() + m_timeouts.headers;
        for (long redirects = 0;; ++redirects) {
            if (!mayFollow(originOf(first), originOf(url), redirects)
                || !sendOnce(targetHandle, exchange, url, carriesCredentials(originOf(first), originOf(url)), deadline))
                return false;
            Object* object = find(targetHandle);
            if (!object)
                return false;
            const auto location = redirectionOf(object->statusCode, object->headerBlock);
            if (!location)
                return true;
            const auto next = combine(urlText(url), *location);
            const auto cracked = next ? crack(*next) : std::nullopt;
            if (!cracked)
                return false;
            url = *cracked;
        }
    }

    Handle findHandleOf(const Object& object) const
    {
        for (const auto& [handle, candidate] : m_objects) {
            if (candidate.get() == &object)
                return handle;
        }
        return 0;
    }

    static std::string urlText(const UrlParts& url)
    {
        return std::string(url.scheme == INTERNET_SCHEME_HTTPS ? "https://" : "http://") + url.host + ":"
               + std::to_string(url.port) + url.object;
    }

    // One request and its answer's headers; the answer's handles replace the target's.
    bool sendOnce(Handle targetHandle, const Exchange& exchange, const UrlParts& url, bool withCredentials,
                  Clock::time_point deadline)
    {
        const bool secure = url.scheme == INTERNET_SCHEME_HTTPS;
        const bool pinned = secure && !m_pinned.empty();
        const bool credentials = withCredentials && exchange.user.has_value();
        // Nothing that carries credentials goes to a server whose certificate is not checked
        // yet: a probe without them comes first.
        if (pinned && credentials) {
            Exchange probe = exchange;
            probe.verb = "HEAD";
            probe.user.reset();
            probe.password.reset();
            if (!sendOnce(targetHandle, probe, url, false, deadline))
                return false;
        }
        Object* target = find(targetHandle);
        Object* session = target ? &sessionOf(*target) : nullptr;
        if (!session)
            return false;
        target->closeInternet();
        target->answered = false;
        target->connect = ::InternetConnectA(session->internet, url.host.c_str(), url.port,
                                             credentials ? exchange.user->c_str() : nullptr,
                                             credentials ? exchange.password.value_or("").c_str() : nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0);
        if (!target->connect)
            return false;
        auto* context = new Context;
        DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES
                      | INTERNET_FLAG_NO_UI | INTERNET_FLAG_KEEP_CONNECTION;
        if (exchange.reload)
            flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE;
        if (secure)
            flags |= INTERNET_FLAG_SECURE;
        // No credentials given means none sent, also none the process used elsewhere (the
        // flag turns off the proxy's too: not where the proxy has credentials to take).
        if (!credentials && !session->proxyUser)
            flags |= INTERNET_FLAG_NO_AUTH;
        target->request = ::HttpOpenRequestA(target->connect, exchange.verb.c_str(), url.object.c_str(),
                                             exchange.version.empty() ? nullptr : exchange.version.c_str(), nullptr,
                                             nullptr, flags, reinterpret_cast<DWORD_PTR>(context));
        target->context = context;
        if (!target->request) {
            --context->owners;  // WinINet never had it
            return false;
        }
        // A receive that waits longer than the stall time ends, so that a request given up by
        // closing its handle (which WinINet lets a pending receive outlive) lets go of its
        // connection then, not at the process's end.
        DWORD receive = static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(m_timeouts.stall).count());
        ::InternetSetOptionA(target->request, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
        if (pinned) {
            // The system's store is not asked; the chain is checked against the pinned
            // authorities once the answer's headers are here, before any body is read.
            DWORD security = 0;
            DWORD size = sizeof security;
            ::InternetQueryOptionA(target->request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
            // The name is checked here too: the platform's own check does not read every form
            // of name a certificate may hold (an IP address, say).
            security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION
                        | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
            ::InternetSetOptionA(target->request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
        }
        if (session->proxyUser) {
            ::InternetSetOptionA(target->request, INTERNET_OPTION_PROXY_USERNAME,
                                 const_cast<char*>(session->proxyUser->c_str()),
                                 static_cast<DWORD>(session->proxyUser->size()));
            ::InternetSetOptionA(target->request, INTERNET_OPTION_PROXY_PASSWORD,
                                 const_cast<char*>(session->proxyPassword.value_or("").c_str()),
                                 static_cast<DWORD>(session->proxyPassword.value_or("").size()));
        }
        const std::string& headers = exchange.headers;
        const Handle sessionHandle = exchange.session;
        if (!::HttpSendRequestA(target->request, headers.empty() ? nullptr : headers.c_str(),
                                static_cast<DWORD>(headers.size()), nullptr, 0)) {
            if (::GetLastError() != ERROR_IO_PENDING || !await(context->done, sessionHandle, targetHandle, deadline)
                || !find(targetHandle) || context->result == 0)
                return false;
        }
        // The platform keeps what credentials it sent, and offers them to later requests that
        // were given none (no flag stops that on every system): they go once answered.
        if (credentials)
            ::InternetSetOptionA(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
        target = find(targetHandle);
        if (!target || (pinned && !trusted(target->request, url.host)))
            return false;
        return readAnswer(targetHandle, sessionHandle, deadline);
    }

    bool trusted(HINTERNET request, const std::string& host)
    {
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        DWORD size = sizeof chain;
        if (!::InternetQueryOptionA(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &chain, &size) || !chain)
            return false;
        const bool trust = m_pinned.trust(*chain) && PinnedAuthorities::names(*chain, host);
        ::CertFreeCertificateChain(chain);
        return trust;
    }

    // The answer's status and header block into the target, when they are an HTTP answer the
    // layer takes.
    bool readAnswer(Handle targetHandle, Handle session, Clock::time_point deadline)
    {
        Object* target = find(targetHandle);
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!::HttpQueryInfoA(target->request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            return false;
        RawHeaderQuery* query = RawHeaderQuery::start(target->request);
        if (!query)
            return false;
        const bool built = await(query->done(), session, targetHandle, deadline,
                                 [&](Clock::duration) { return query->work() < kHeaderWork; });
        std::optional<std::string> text = built ? query->text() : std::nullopt;
        RawHeaderQuery::release(query);
        target = find(targetHandle);
        if (!text || !target)
            return false;
        std::string block = std::move(*text);
        // WinINet passes on what is no HTTP answer (a status line it made up, a status it read
        // as far as its digits went): the block itself must be one.
        const auto answered = answerStatus(block);
        if (block.size() > kMaxHeaderBlock || !answered || *answered != static_cast<long>(status))
            return false;
        target->statusCode = static_cast<long>(status);
        target->headerBlock = std::move(block);
        target->answered = true;
        return true;
    }

    // (Re)opens a URL handle's request, from `from` on when it is not 0.
    bool openUrlFile(Object& file, std::int64_t from)
    {
        // HTTP/1.0, so that the body comes by its length or until the connection ends: WinINet
        // decodes a chunked body without telling a broken one from a whole one.
        Exchange exchange{file.parent, "GET", "HTTP/1.0", file.extraHeaders, true, std::nullopt, std::nullopt};
        if (from > 0)
            exchange.headers += "Range: bytes=" + std::to_string(from) + "-\r\n";
        file.atEnd = false;
        file.windowStart = Clock::now();
        file.windowBytes = 0;
        file.received = 0;
        file.announced.reset();
        file.aheadAt = file.aheadEnd = 0;
        // An answer whose length cannot be read right is none (as curl refuses it).
        if (!run(file, exchange, file.url) || !contentLengthIsSound(file.headerBlock))
            return false;
        if (headerValue(file.headerBlock, "Transfer-Encoding")) {
            // A coding no HTTP/1.0 client takes: the body cannot be read (as a broken one is not).
            file.failed = true;
            file.closeInternet();
            return true;
        }
        file.announced = bodyLength(file.headerBlock);
        return true;
    }

    // One read for the caller: at most `buffer.size()` bytes, 0 at the end of the resource,
    // served from the URL's read-ahead.
    bool readSome(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& got)
    {
        Object* file = find(fileHandle, Kind::Url);
        if (!file)
            return false;
        if (file->aheadAt == file->aheadEnd) {
            if (!file->request || !readAhead(fileHandle))
                return false;
            file = find(fileHandle, Kind::Url);
        }
        got = static_cast<std::uint32_t>(std::min(buffer.size(), file->aheadEnd - file->aheadAt));
        std::memcpy(buffer.data(), file->ahead.get() + file->aheadAt, got);
        file->aheadAt += got;
        return true;
    }

    // One read of WinINet's into the URL's read-ahead: all that has come, up to kReadAhead;
    // nothing at the end of the body. The read does not wait: when nothing has come it goes
    // pending until something does, and then takes nothing (the next read takes it). So no
    // read waits for its buffer to fill, which a slow server would make a stall, and none that
    // is given up has taken bytes.
    bool readAhead(Handle fileHandle)
    {
        Object* file = find(fileHandle, Kind::Url);
        std::uint64_t want = kReadAhead;
        // Never more than the length the answer gave: what comes after it is not the body.
        if (file->announced)
            want = std::min(want, *file->announced - std::min(file->received, *file->announced));
        file->aheadAt = file->aheadEnd = 0;
        if (want == 0)
            return true;
        if (!file->ahead)
            file->ahead = std::make_unique_for_overwrite<std::byte[]>(kReadAhead);
        const Handle session = file->parent;
        const auto deadline = Clock::now() + std::chrono::hours(24 * 365);
        const auto flows = [&](Clock::duration hostTime) { return bodyFlows(fileHandle, hostTime); };
        INTERNET_BUFFERSA read{};
        for (;;) {
            Context& context = *file->context;
            read.dwStructSize = sizeof read;
            read.lpvBuffer = file->ahead.get();
            read.dwBufferLength = static_cast<DWORD>(want);
            // Reset before each read: Wine's WinINet reports the completion of one that completed
            // at once as well, and a wait that found it would go on while this one is still out.
            ::ResetEvent(context.done);
            if (::InternetReadFileExA(file->request, &read, IRF_NO_WAIT, reinterpret_cast<DWORD_PTR>(&context)))
                break;
            if (::GetLastError() != ERROR_IO_PENDING || !await(context.done, session, fileHandle, deadline, flows)
                || !find(fileHandle, Kind::Url) || context.result == 0) {
                fail(fileHandle);
                return false;
            }
            file = find(fileHandle, Kind::Url);
        }
        const DWORD count = std::min<DWORD>(read.dwBufferLength, static_cast<DWORD>(want));
        file->aheadEnd = count;
        file->windowBytes += count;
        file->received += count;
        // A body that ends before the length its answer gave was cut off, not completed.
        if (count == 0 && file->announced && file->received < *file->announced) {
            fail(fileHandle);
            return false;
        }
        return true;
    }

    void fail(Handle fileHandle)
    {
        if (Object* file = find(fileHandle, Kind::Url)) {
            file->failed = true;
            file->closeInternet();
        }
    }

    Timeouts m_timeouts;
    TlsTrust m_trust;
    PinnedAuthorities m_pinned;
    std::unordered_map<Handle, std::unique_ptr<Object>> m_objects;
    Handle m_nextHandle = 0xCC0001;
};

std::unique_ptr<Internet> systemInternet(Timeouts timeouts, TlsTrust trust)
{
    return std::make_unique<WinInetInternet>(timeouts, std::move(trust));
}

}  // namespace inet
