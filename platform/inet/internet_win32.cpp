#include "platform/inet/internet_win32.h"

#include "platform/inet/transfer_rules.h"

#include <algorithm>

namespace inet {

namespace {

// As HttpQueryInfo answers into the caller's buffer.
bool answer(std::string_view text, std::span<char> buffer, std::uint32_t& length)
{
    if (copyAnswer(text, buffer, length))
        return true;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

}  // namespace

WinInetInternet::WinInetInternet(Timeouts timeouts, TlsTrust trust)
    : m_timeouts(timeouts), m_trust(std::move(trust)), m_pinned(m_trust.authoritiesPem)
{
}

WinInetInternet::~WinInetInternet()
{
    for (const Handle handle : m_objects.handles())
        closeHandle(handle);
}

Handle WinInetInternet::openSession(const std::string& agent, std::uint32_t accessType,
                                    const std::optional<std::string>& proxy,
                                    const std::optional<std::string>& proxyBypass, std::uint32_t)
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
    return m_objects.add(std::move(object));
}

bool WinInetInternet::setWaitCallback(Handle session, WaitCallback callback)
{
    Object* object = find(session, Kind::Session);
    if (!object)
        return false;
    object->wait = std::move(callback);
    return true;
}

bool WinInetInternet::setProxyCredentials(Handle session, const std::string& user, const std::string& password)
{
    Object* object = find(session, Kind::Session);
    if (!object)
        return false;
    object->proxyUser = user;
    object->proxyPassword = password;
    return true;
}

Handle WinInetInternet::connect(Handle session, const std::string& server, std::uint16_t port,
                                const std::optional<std::string>& user, const std::optional<std::string>& password,
                                std::uint32_t service, std::uint32_t, std::uintptr_t)
{
    const auto where = serverAddress(server, port);
    if (!find(session, Kind::Session) || service != kServiceHttp || !where)
        return 0;
    auto object = std::make_unique<Object>(Kind::Connection, session);
    object->host = where->host;
    object->port = where->port;
    object->user = user;
    object->password = password;
    return m_objects.add(std::move(object));
}

Handle WinInetInternet::openRequest(Handle connection, const std::string& verb, const std::string& object,
                                    const std::string& version, const std::optional<std::string>&, std::uint32_t flags,
                                    std::uintptr_t)
{
    if (!find(connection, Kind::Connection))
        return 0;
    auto request = std::make_unique<Object>(Kind::Request, connection);
    request->verb = verb.empty() ? std::string("GET") : verb;
    request->object = object.empty() || object.front() != '/' ? "/" + object : object;
    request->version = version;
    request->flags = flags;
    return m_objects.add(std::move(request));
}

bool WinInetInternet::sendRequest(Handle requestHandle, const std::optional<std::string>& headers,
                                  std::span<const std::byte>)
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
    Exchange exchange{connection.parent,
                      request->verb,
                      request->version,
                      headers.value_or(""),
                      (request->flags & kFlagReload) != 0,
                      connection.user,
                      connection.password};
    return run(*request, exchange, url);
}

bool WinInetInternet::queryInfo(Handle handle, std::uint32_t infoLevel, std::span<char> buffer, std::uint32_t& length,
                                std::uint32_t&)
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

Handle WinInetInternet::openUrl(Handle sessionHandle, const std::string& text,
                                const std::optional<std::string>& headers, std::uint32_t, std::uintptr_t)
{
    if (!find(sessionHandle, Kind::Session))
        return 0;
    const auto url = crack(cleanUrl(text));
    if (!url)
        return 0;
    auto file = std::make_unique<Object>(Kind::Url, sessionHandle);
    file->url = *url;
    file->extraHeaders = headers.value_or("");
    const Handle handle = m_objects.add(std::move(file));
    if (!openUrlFile(*find(handle), 0)) {
        closeHandle(handle);
        return 0;
    }
    return handle;
}

bool WinInetInternet::closeHandle(Handle handle)
{
    if (handle == 0 || !m_objects.find(handle))
        return false;
    for (const Handle child : m_objects.childrenOf(handle))
        closeHandle(child);
    m_objects.take(handle);
    return true;
}

WinInetInternet::Object* WinInetInternet::find(Handle handle, std::optional<Kind> kind)
{
    Object* object = m_objects.find(handle);
    return object == nullptr || (kind && object->kind != *kind) ? nullptr : object;
}

WinInetInternet::Object& WinInetInternet::sessionOf(const Object& object)
{
    Handle handle = object.parent;
    while (find(handle) && find(handle)->kind != Kind::Session)
        handle = find(handle)->parent;
    return *find(handle, Kind::Session);
}

bool WinInetInternet::await(HANDLE done, Handle session, Handle owner, Clock::time_point deadline,
                            const std::function<bool(Clock::duration)>& goOn)
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

std::unique_ptr<Internet> systemInternet(Timeouts timeouts, TlsTrust trust)
{
    return std::make_unique<WinInetInternet>(timeouts, std::move(trust));
}

}  // namespace inet
