#include "platform/inet/internet_posix.h"

#include "platform/inet/http_headers.h"
#include "platform/inet/transfer_posix.h"
#include "platform/inet/transfer_rules.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace inet {

struct CurlInternet::Object {
    enum class Kind { Session, Connection, Request, Url };
    explicit Object(Kind k, Handle p) : kind(k), parent(p) {}
    virtual ~Object() = default;
    Kind kind;
    Handle parent;
};

namespace {

struct Session : CurlInternet::Object {
    static constexpr Kind kKind = Kind::Session;
    Session() : Object(Kind::Session, 0) {}
    std::string agent;
    std::uint32_t accessType = kOpenTypePreconfig;
    std::optional<std::string> proxy;
    std::optional<std::string> proxyUser;
    std::optional<std::string> proxyPassword;
    WaitCallback wait;
};

struct Connection : CurlInternet::Object {
    static constexpr Kind kKind = Kind::Connection;
    explicit Connection(Handle session) : Object(Kind::Connection, session) {}
    const Session* session = nullptr;
    std::string server;
    std::uint16_t port = 0;
    std::optional<std::string> user;
    std::optional<std::string> password;
};

// The final answer's status and header lines, once they have come.
struct Answer {
    long statusCode = 0;
    std::string headerBlock;
};

struct Request : CurlInternet::Object, Answer {
    static constexpr Kind kKind = Kind::Request;
    explicit Request(Handle connection) : Object(Kind::Request, connection) {}
    const Connection* connection = nullptr;
    std::string verb;
    std::string object;
    bool secure = false;
    bool http10 = false;
    bool reload = false;
    bool answered = false;
};

struct UrlFile : CurlInternet::Object, Answer {
    static constexpr Kind kKind = Kind::Url;
    explicit UrlFile(Handle session) : Object(Kind::Url, session) {}
    std::string url;
    TransferSettings settings;
    std::unique_ptr<CurlTransfer> transfer;
    bool readStarted = false;
    bool failed = false;
};

TransferSettings settingsOf(const Session& session, const TlsTrust& trust)
{
    TransferSettings settings;
    settings.agent = session.agent;
    settings.accessType = session.accessType;
    settings.proxy = session.proxy;
    settings.proxyUser = session.proxyUser;
    settings.proxyPassword = session.proxyPassword;
    settings.trust = trust;
    return settings;
}

}  // namespace

// Marks a call in progress, so that handles closed by a wait callback outlive the call.
class CurlInternet::CallScope {
public:
    explicit CallScope(CurlInternet& internet) : m_internet(internet) { ++m_internet.m_callDepth; }
    ~CallScope()
    {
        if (--m_internet.m_callDepth == 0)
            m_internet.m_closedDuringCall.clear();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    CurlInternet& m_internet;
};

// curl is set up by the first transfer, not here: a window that owns the layer shows sooner.
std::unique_ptr<Internet> systemInternet(Timeouts timeouts, TlsTrust trust)
{
    return std::make_unique<CurlInternet>(timeouts, std::move(trust));
}

CurlInternet::CurlInternet(Timeouts timeouts, TlsTrust trust) : m_timeouts(timeouts), m_trust(std::move(trust)) {}

CurlInternet::~CurlInternet() = default;

bool CurlInternet::setProxyCredentials(Handle sessionHandle, const std::string& user, const std::string& password)
{
    Session* session = find<Session>(sessionHandle);
    if (!session)
        return false;
    session->proxyUser = user;
    session->proxyPassword = password;
    return true;
}

bool CurlInternet::setWaitCallback(Handle sessionHandle, WaitCallback callback)
{
    Session* session = find<Session>(sessionHandle);
    if (!session)
        return false;
    session->wait = std::move(callback);
    return true;
}

WaitCallback CurlInternet::waitOf(Handle sessionHandle)
{
    // Looked up at each wait: the callback may be set after a handle was opened, and a session
    // closed during a wait ends every wait on it.
    return [this, sessionHandle] {
        const Session* session = find<Session>(sessionHandle);
        return session && (!session->wait || session->wait());
    };
}

template <typename T>
T* CurlInternet::find(Handle handle)
{
    Object* object = m_objects.find(handle);
    // Every kind is one final type: its tag tells it (read once per chunk, so no dynamic_cast).
    return object == nullptr || object->kind != T::kKind ? nullptr : static_cast<T*>(object);
}

Handle CurlInternet::openSession(const std::string& agent, std::uint32_t accessType,
                                 const std::optional<std::string>& proxy, const std::optional<std::string>&,
                                 std::uint32_t)
{
    if (accessType != kOpenTypePreconfig && accessType != kOpenTypeDirect && accessType != kOpenTypeProxy)
        return 0;
    if (accessType == kOpenTypeProxy && !proxy)
        return 0;
    curl();  // loaded with the first session: a library that is missing is an error here
    try {
        auto session = std::make_unique<Session>();
        session->agent = agent;
        session->accessType = accessType;
        if (accessType == kOpenTypeProxy)
            session->proxy = proxy;
        return m_objects.add(std::move(session));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

Handle CurlInternet::connect(Handle sessionHandle, const std::string& server, std::uint16_t port,
                             const std::optional<std::string>& user, const std::optional<std::string>& password,
                             std::uint32_t service, std::uint32_t, std::uintptr_t)
{
    const Session* session = find<Session>(sessionHandle);
    // The server text goes into a URL: it must be a host with an optional port and nothing else.
    if (!session || service != kServiceHttp || !serverAddress(server, port) || !parseUrl("http://" + server + "/"))
        return 0;
    try {
        auto connection = std::make_unique<Connection>(sessionHandle);
        connection->session = session;
        connection->server = server;
        connection->port = port;
        connection->user = user;
        connection->password = password;
        return m_objects.add(std::move(connection));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

Handle CurlInternet::openRequest(Handle connectionHandle, const std::string& verb, const std::string& object,
                                 const std::string& version, const std::optional<std::string>&, std::uint32_t flags,
                                 std::uintptr_t)
{
    const Connection* connection = find<Connection>(connectionHandle);
    if (!connection)
        return 0;
    try {
        auto request = std::make_unique<Request>(connectionHandle);
        request->connection = connection;
        request->verb = verb.empty() ? std::string("GET") : verb;
        request->object = object.empty() ? std::string("/") : object;
        request->secure = (flags & kFlagSecure) != 0;
        request->http10 = version == "HTTP/1.0";
        request->reload = (flags & kFlagReload) != 0;
        return m_objects.add(std::move(request));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool CurlInternet::sendRequest(Handle requestHandle, const std::optional<std::string>&, std::span<const std::byte>)
{
    const CallScope call(*this);
    Request* request = find<Request>(requestHandle);
    if (!request)
        return false;
    try {
        const Connection& connection = *request->connection;
        TransferSettings settings = settingsOf(*connection.session, m_trust);
        settings.wait = waitOf(connection.parent);
        settings.user = connection.user;
        settings.password = connection.password;
        settings.port = connection.port;
        settings.head = request->verb == "HEAD";
        settings.http10 = request->http10;
        settings.reload = request->reload;
        const std::string object = request->object.front() == '/' ? request->object : "/" + request->object;
        const std::string scheme = request->secure ? "https://" : "http://";
        CurlTransfer transfer(cleanUrl(scheme + connection.server + object), settings, m_timeouts);
        const bool answered = transfer.finish();
        if (!find<Request>(requestHandle))
            return false;  // closed while waiting
        request->answered = answered;
        request->statusCode = transfer.statusCode();
        request->headerBlock = transfer.headerBlock();
        return request->answered;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CurlInternet::queryInfo(Handle handle, std::uint32_t infoLevel, std::span<char> buffer, std::uint32_t& length,
                             std::uint32_t&)
{
    // A request after it was sent, or an opened URL: both hold their final answer's headers.
    const Answer* answered = nullptr;
    if (const Request* request = find<Request>(handle); request && request->answered)
        answered = request;
    else if (const UrlFile* file = find<UrlFile>(handle))
        answered = file;
    if (!answered)
        return false;
    switch (infoLevel) {
    case kQueryRawHeadersCrlf: return copyAnswer(answered->headerBlock, buffer, length);
    case kQueryStatusCode: return copyAnswer(std::to_string(answered->statusCode), buffer, length);
    default: return false;
    }
}

Handle CurlInternet::openUrl(Handle sessionHandle, const std::string& url, const std::optional<std::string>& headers,
                             std::uint32_t, std::uintptr_t)
{
    const CallScope call(*this);
    const Session* session = find<Session>(sessionHandle);
    if (!session)
        return 0;
    try {
        auto file = std::make_unique<UrlFile>(sessionHandle);
        file->url = cleanUrl(url);
        file->settings = settingsOf(*session, m_trust);
        file->settings.wait = waitOf(sessionHandle);
        file->settings.headers = headers.value_or("");
        file->transfer = std::make_unique<CurlTransfer>(file->url, file->settings, m_timeouts);
        if (!file->transfer->waitForHeaders() || !find<Session>(sessionHandle))
            return 0;
        file->statusCode = file->transfer->statusCode();
        file->headerBlock = file->transfer->headerBlock();
        return m_objects.add(std::move(file));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::uint32_t CurlInternet::setFilePointer(Handle fileHandle, std::int32_t distance, std::int32_t* distanceHigh,
                                           std::uint32_t moveMethod, std::uintptr_t)
{
    const CallScope call(*this);
    UrlFile* file = find<UrlFile>(fileHandle);
    if (!file || file->readStarted || moveMethod != kFileCurrent || distance < 0
        || (distanceHigh && *distanceHigh != 0))
        return kInvalidSetFilePointer;
    if (distance == 0)
        return 0;
    try {
        // A URL opened with this very range stands there already: its own answer tells. Any
        // other asks again for the rest only, and the answer must really start at `distance`.
        const bool openedThere = requestedRangeStart(file->settings.headers) == distance;
        std::unique_ptr<CurlTransfer> transfer;
        if (!openedThere) {
            TransferSettings settings = file->settings;
            settings.rangeFrom = distance;
            transfer = std::make_unique<CurlTransfer>(file->url, settings, m_timeouts);
            if (!transfer->waitForHeaders())
                return kInvalidSetFilePointer;
        }
        const CurlTransfer& answer = transfer ? *transfer : *file->transfer;
        std::uint32_t position = static_cast<std::uint32_t>(distance);
        switch (rangeAnswerOf(answer.statusCode(), answer.headerBlock(), distance,
                              openedThere ? std::nullopt : bodyLength(file->headerBlock),
                              headerValue(file->settings.headers, "If-Range").has_value())) {
        case RangeAnswer::FromPosition: break;
        case RangeAnswer::NothingLeft:
            transfer.reset();
            file->transfer.reset();
            break;
        case RangeAnswer::WholeResource:
            if (!(transfer ? *transfer : *file->transfer).skip(distance))
                return kInvalidSetFilePointer;
            break;
        case RangeAnswer::Changed: position = 0; break;
        case RangeAnswer::Refused: return kInvalidSetFilePointer;
        }
        if (!find<UrlFile>(fileHandle))
            return kInvalidSetFilePointer;  // closed while waiting
        if (transfer) {
            file->statusCode = transfer->statusCode();
            file->headerBlock = transfer->headerBlock();
            file->transfer = std::move(transfer);
        }
        return position;
    } catch (const std::bad_alloc&) {
        return kInvalidSetFilePointer;
    }
}

bool CurlInternet::readFile(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& bytesRead)
{
    const CallScope call(*this);
    bytesRead = 0;
    UrlFile* file = find<UrlFile>(fileHandle);
    if (!file || file->failed)
        return false;
    file->readStarted = true;
    if (!file->transfer)
        return true;  // an empty remainder after a move to the very end
    std::size_t count = 0;
    const bool read = file->transfer->read(buffer, count);
    if (!find<UrlFile>(fileHandle))
        return false;  // closed while waiting
    if (!read) {
        file->failed = true;
        file->transfer.reset();
        return false;
    }
    bytesRead = static_cast<std::uint32_t>(count);
    return true;
}

bool CurlInternet::closeHandle(Handle handle)
{
    if (handle == 0 || !m_objects.find(handle))
        return false;
    for (const Handle child : m_objects.childrenOf(handle))
        closeHandle(child);
    std::unique_ptr<Object> object = m_objects.take(handle);
    if (m_callDepth > 0)
        m_closedDuringCall.push_back(std::move(object));
    return true;
}

}  // namespace inet
