#include "download/internet_file.h"

#include "download/information_parse.h"
#include "download/url_helpers.h"
#include "platform/inet/http_headers.h"
#include "platform/inet/transfer_rules.h"
#include "platform/runtime/binary_file.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <array>
#include <limits>
#include <optional>

namespace {

using runtime::Variant;
namespace dispid = internet_file::dispid;
namespace event = internet_file::event;

using internet_file::kUserAgent;
constexpr std::size_t kHeaderBufferLength = 1024;
constexpr std::size_t kChunkSize = 2048;

constexpr std::u16string_view kCouldNotFindUrl = u"Could not find Url";
constexpr std::u16string_view kErrorSettingPosition = u"Error, while setting position";
constexpr std::u16string_view kCouldNotReadUrl = u"Could not read Url";
constexpr std::u16string_view kNotAvailable = u"Not Available";

constexpr int kControlSize = 570;  // twips, the size of the design-time picture

// The internet layer speaks the system's ANSI code page.
std::string ansi(std::u16string_view text)
{
    return runtime::toAnsi(text);
}

// An address as it goes on the wire: every letter beyond ASCII as the percent-encoded bytes of
// its UTF-8, as browsers send it. A Western system's code page has no Turkish letters (they
// would go as "?"), and a Turkish one's bytes name no file that a server keeps in UTF-8.
std::string address(std::u16string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char byte : runtime::toUtf8(text)) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80) {
            encoded += byte;
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    return encoded;
}

// The handles and the local file of one running download. Whatever is still held when the
// download ends by an error without an event is released here.
class DownloadResources {
public:
    DownloadResources(inet::Internet& internet, inet::Handle& sessionField)
        : m_internet(internet), m_sessionField(sessionField)
    {
    }
    ~DownloadResources()
    {
        if (m_url != 0 || m_ownsSession)
            closeHandles();
    }
    DownloadResources(const DownloadResources&) = delete;
    DownloadResources& operator=(const DownloadResources&) = delete;

    void holdSession(inet::Handle session)
    {
        m_session = session;
        m_ownsSession = true;
    }
    // The session stays open for the next operation (the "Could not find Url" ending).
    void leaveSessionOpen() { m_ownsSession = false; }
    void holdUrl(inet::Handle url) { m_url = url; }
    inet::Handle url() const { return m_url; }

    void closeHandles()
    {
        m_internet.closeHandle(m_url);
        m_internet.closeHandle(m_session);
        m_sessionField = 0;
        m_url = 0;
        m_ownsSession = false;
    }

    std::optional<runtime::BinaryFile> file;

private:
    inet::Internet& m_internet;
    inet::Handle& m_sessionField;
    inet::Handle m_session = 0;
    inet::Handle m_url = 0;
    bool m_ownsSession = false;
};

// The status line and header lines of the answer a URL handle holds; nullopt when it has none.
std::optional<std::string> answerOf(inet::Internet& internet, inet::Handle url)
{
    std::string block(4096, '\0');
    std::uint32_t length = static_cast<std::uint32_t>(block.size());
    std::uint32_t index = 0;
    if (!internet.queryInfo(url, inet::kQueryRawHeadersCrlf, block, length, index)) {
        if (length <= block.size())
            return std::nullopt;
        block.resize(length);  // the size it needs
        if (!internet.queryInfo(url, inet::kQueryRawHeadersCrlf, block, length, index))
            return std::nullopt;
    }
    block.resize(length);
    return block;
}

std::int32_t addChecked(std::int32_t total, std::uint32_t count)
{
    const std::int64_t sum = static_cast<std::int64_t>(total) + count;
    if (sum > std::numeric_limits<std::int32_t>::max())
        throw runtime::RuntimeError(runtime::error::kOverflow);
    return static_cast<std::int32_t>(sum);
}

}  // namespace

InternetFile::InternetFile(inet::Internet& internet, std::function<void()> doEvents)
    : m_internet(internet), m_doEvents(std::move(doEvents))
{
    using runtime::toInteger;
    using runtime::toLong;
    using runtime::toText;
    m_members.addProperty(dispid::FileExists, u"FileExists", [this] { return Variant(m_FileExists); });
    m_members.addProperty(dispid::LastModified, u"LastModified", [this] { return Variant(m_LastModified); });
    m_members.addProperty(dispid::FileSize, u"FileSize", [this] { return Variant(m_FileSize); });
    m_members.addProperty(
        dispid::LocalFile, u"LocalFile", [this] { return m_LocalFile; }, [this](const Variant& v) { setLocalFile(v); });
    m_members.addProperty(
        dispid::ConnectType, u"ConnectType", [this] { return Variant(m_ConnectType); },
        [this](const Variant& v) { setConnectType(toLong(v)); });
    m_members.addProperty(
        dispid::Url, u"Url", [this] { return Variant(m_Url); }, [this](const Variant& v) { setUrl(toText(v)); });
    m_members.addProperty(
        dispid::Port, u"Port", [this] { return Variant(m_Port); }, [this](const Variant& v) { setPort(toInteger(v)); });
    m_members.addProperty(
        dispid::SiteUser, u"SiteUser", [this] { return Variant(m_SiteUser); },
        [this](const Variant& v) { setSiteUser(toText(v)); });
    m_members.addProperty(
        dispid::SitePassword, u"SitePassword", [this] { return Variant(m_SitePassword); },
        [this](const Variant& v) { setSitePassword(toText(v)); });
    m_members.addProperty(
        dispid::ProxyPort, u"ProxyPort", [this] { return Variant(m_ProxyPort); },
        [this](const Variant& v) { setProxyPort(toInteger(v)); });
    m_members.addProperty(
        dispid::ProxyServer, u"ProxyServer", [this] { return Variant(m_ProxyServer); },
        [this](const Variant& v) { setProxyServer(toText(v)); });
    m_members.addProperty(
        dispid::ProxyUser, u"ProxyUser", [this] { return Variant(m_ProxyUser); },
        [this](const Variant& v) { setProxyUser(toText(v)); });
    m_members.addProperty(
        dispid::ProxyPassword, u"ProxyPassword", [this] { return Variant(m_ProxyPassword); },
        [this](const Variant& v) { setProxyPassword(toText(v)); });
    m_members.addProperty(
        dispid::ResumeValidator, u"ResumeValidator", [this] { return Variant(m_ResumeValidator); },
        [this](const Variant& v) { setResumeValidator(toText(v)); });
    m_members.addMethod(dispid::StartDownload, u"StartDownload", [this] { StartDownload(); });
    m_members.addMethod(dispid::ResumeDownload, u"ResumeDownload", [this] { ResumeDownload(); });
    m_members.addMethod(dispid::CancelDownload, u"CancelDownload", [this] { CancelDownload(); });
    m_members.addMethod(dispid::RequestInformation, u"RequestInformation", [this] { RequestInformation(); });
}

InternetFile::~InternetFile()
{
    if (m_SessionHandle != 0)
        m_internet.closeHandle(m_SessionHandle);
}

Variant InternetFile::invoke(controls::DispId id, controls::InvokeKind kind, std::span<Variant> args)
{
    return m_members.invoke(id, kind, args);
}

void InternetFile::setLocalFile(Variant New_LocalFile)
{
    m_LocalFile = std::move(New_LocalFile);
    propertyChanged(u"LocalFile");
}

void InternetFile::setConnectType(std::int32_t New_ConnectType)
{
    m_ConnectType = New_ConnectType;
    propertyChanged(u"ConnectType");
}

void InternetFile::setUrl(std::u16string New_Url)
{
    m_Url = std::move(New_Url);
    propertyChanged(u"Url");
}

void InternetFile::setPort(std::int16_t New_Port)
{
    m_Port = New_Port;
    propertyChanged(u"Port");
}

void InternetFile::setSiteUser(std::u16string New_SiteUser)
{
    m_SiteUser = std::move(New_SiteUser);
    propertyChanged(u"SiteUser");
}

void InternetFile::setSitePassword(std::u16string New_SitePassword)
{
    m_SitePassword = std::move(New_SitePassword);
    propertyChanged(u"SitePassword");
}

void InternetFile::setProxyPort(std::int16_t New_ProxyPort)
{
    m_ProxyPort = New_ProxyPort;
    propertyChanged(u"ProxyPort");
}

void InternetFile::setProxyServer(std::u16string New_ProxyServer)
{
    m_ProxyServer = std::move(New_ProxyServer);
    propertyChanged(u"ProxyServer");
}

void InternetFile::setProxyUser(std::u16string New_ProxyUser)
{
    m_ProxyUser = std::move(New_ProxyUser);
    propertyChanged(u"ProxyUser");
}

void InternetFile::setProxyPassword(std::u16string New_ProxyPassword)
{
    m_ProxyPassword = std::move(New_ProxyPassword);
    propertyChanged(u"ProxyPassword");
}

void InternetFile::setResumeValidator(std::u16string New_ResumeValidator)
{
    m_ResumeValidator = std::move(New_ResumeValidator);
    propertyChanged(u"ResumeValidator");
}

void InternetFile::initProperties()
{
    m_LocalFile = u"";
    m_Url.clear();
    m_Port = kDefaultPort;
    m_SiteUser.clear();
    m_SitePassword.clear();
    m_ProxyPort = kDefaultProxyPort;
    m_ProxyServer.clear();
    m_ConnectType = 0;
}

void InternetFile::readProperties(const controls::PropertyStore& store)
{
    using runtime::toInteger;
    using runtime::toLong;
    using runtime::toText;
    m_LocalFile = store.readProperty(u"LocalFile", u"");
    m_Url = toText(store.readProperty(u"Url", u""));
    m_Port = toInteger(store.readProperty(u"Port", std::int32_t{kDefaultPort}));
    m_SiteUser = toText(store.readProperty(u"SiteUser", u""));
    m_SitePassword = toText(store.readProperty(u"SitePassword", u""));
    m_ProxyPort = toInteger(store.readProperty(u"ProxyPort", std::int32_t{kDefaultProxyPort}));
    m_ProxyServer = toText(store.readProperty(u"ProxyServer", u""));
    m_ConnectType = toLong(store.readProperty(u"ConnectType", std::int32_t{0}));
}

void InternetFile::writeProperties(controls::PropertyStore& store)
{
    store.writeProperty(u"LocalFile", m_LocalFile, u"");
    store.writeProperty(u"Url", m_Url, u"");
    store.writeProperty(u"Port", m_Port, std::int32_t{kDefaultPort});
    store.writeProperty(u"SiteUser", m_SiteUser, u"");
    store.writeProperty(u"SitePassword", m_SitePassword, u"");
    store.writeProperty(u"ProxyPort", m_ProxyPort, std::int32_t{kDefaultProxyPort});
    store.writeProperty(u"ProxyServer", m_ProxyServer, u"");
    store.writeProperty(u"ConnectType", m_ConnectType, std::int32_t{0});
}

void InternetFile::resized()
{
    keepExtent(kControlSize, kControlSize);
}

void InternetFile::OpenInternetSession()
{
    openSessionOfConnectType();
    if (m_SessionHandle == 0)
        return;
    // While the layer waits on the network the host's events go on, and a cancel request
    // gives the wait up.
    m_internet.setWaitCallback(m_SessionHandle, [this] {
        m_doEvents();
        return !m_CancelRequested;
    });
    if (!m_ProxyUser.empty())
        m_internet.setProxyCredentials(m_SessionHandle, ansi(m_ProxyUser), ansi(m_ProxyPassword));
}

void InternetFile::openSessionOfConnectType()
{
    switch (m_ConnectType) {
    case 0:
        m_SessionHandle = m_internet.openSession(kUserAgent, inet::kOpenTypePreconfig, std::nullopt, std::nullopt, 0);
        break;
    case 1: {
        const std::u16string proxy = m_ProxyServer + u":" + runtime::toText(m_ProxyPort);
        m_SessionHandle = m_internet.openSession(kUserAgent, inet::kOpenTypeProxy, ansi(proxy), std::nullopt, 0);
        break;
    }
    case 2:
        m_SessionHandle = m_internet.openSession(kUserAgent, inet::kOpenTypeDirect, std::nullopt, std::nullopt, 0);
        break;
    default: break;
    }
}

void InternetFile::RequestInformation()
{
    m_InfoRequested = true;
    m_InfoUrl = m_Url;
    // A cancel request gives up a waiting request; one made before a direct call is stale.
    if (!m_Downloading)
        m_CancelRequested = false;

    // An "https://" address is asked over TLS; the rest of it splits as any other.
    constexpr std::u16string_view kSecureScheme = u"https://";
    const bool secure = m_Url.starts_with(kSecureScheme);
    std::u16string host = secure ? m_Url.substr(kSecureScheme.size()) : m_Url;
    std::u16string path;
    url_helpers::SplitUrl(host, path);
    m_doEvents();

    if (m_SessionHandle == 0)
        OpenInternetSession();
    m_doEvents();

    std::optional<std::string> user;
    std::optional<std::string> password;
    if (!m_SiteUser.empty()) {
        user = ansi(m_SiteUser);
        password = ansi(m_SitePassword);
    }
    const inet::Handle connection = m_internet.connect(m_SessionHandle, ansi(host), inet::kInvalidPortNumber, user,
                                                       password, inet::kServiceHttp, 0, 0);
    const inet::Handle request = m_internet.openRequest(connection, "HEAD", address(path), "HTTP/1.0", std::nullopt,
                                                        inet::kFlagReload | (secure ? inet::kFlagSecure : 0), 0);

    // However the request ends (also by the Content-Length's conversion error), the request and
    // then the connection are closed, and the session too once a download has run.
    struct Closer {
        InternetFile& self;
        inet::Handle request;
        inet::Handle connection;
        ~Closer()
        {
            self.m_internet.closeHandle(request);
            self.m_internet.closeHandle(connection);
            if (self.m_CloseSessionAfterInfo) {
                self.m_internet.closeHandle(self.m_SessionHandle);
                self.m_SessionHandle = 0;
            }
        }
    } closer{*this, request, connection};

    if (request != 0) {
        m_doEvents();
        std::string buffer(kHeaderBufferLength, ' ');
        std::uint32_t length = kHeaderBufferLength;
        std::uint32_t index = 0;
        const std::uint32_t zero = 0;
        m_internet.sendRequest(request, std::nullopt,
                               std::span<const std::byte>(reinterpret_cast<const std::byte*>(&zero), 0));
        m_doEvents();

        if (m_internet.queryInfo(request, inet::kQueryRawHeadersCrlf, buffer, length, index)) {
            parseHeaders(runtime::fromAnsi(buffer));
        } else {
            m_doEvents();
            // The failed query reported the size it needed; the buffer is still 1024 long.
            length = kHeaderBufferLength;
            if (m_internet.queryInfo(request, inet::kQueryStatusCode, buffer, length, index))
                m_FileExists = runtime::Bool16(url_helpers::CutAtNull(runtime::fromAnsi(buffer)) == u"200");
            else
                m_FileExists = runtime::False;
            m_LastModified = kNotAvailable;
            m_FileSize = -1;
        }
    }

    m_doEvents();
}

void InternetFile::parseHeaders(const std::u16string& headers)
{
    internet_file::Information values{m_FileExists, m_FileSize, m_LastModified};
    // What the parse set stays set, also when it ends with its error.
    struct CopyBack {
        InternetFile& self;
        internet_file::Information& values;
        ~CopyBack()
        {
            self.m_FileExists = values.FileExists;
            self.m_FileSize = values.FileSize;
            self.m_LastModified = values.LastModified;
        }
    } copyBack{*this, values};
    internet_file::parseInformation(headers, values, m_doEvents);
}

void InternetFile::StartDownload()
{
    m_ResumePosition = 0;
    RunDownload();
}

void InternetFile::ResumeDownload()
{
    try {
        try {
            m_ResumePosition = runtime::fileLength(runtime::toText(m_LocalFile));
        } catch (const runtime::RuntimeError&) {
            m_ResumePosition = 0;
        }
        RunDownload();
    } catch (const runtime::RuntimeError&) {
        // A resumed download swallows every run-time error; its events already told the rest.
    }
}

void InternetFile::CancelDownload()
{
    m_CancelRequested = true;
}

void InternetFile::RunDownload()
{
    m_CancelRequested = false;
    m_Downloading = true;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{m_Downloading};
    m_doEvents();

    if (m_SessionHandle == 0)
        OpenInternetSession();
    const inet::Handle session = m_SessionHandle;
    DownloadResources held(m_internet, m_SessionHandle);
    held.holdSession(session);
    m_doEvents();

    m_CloseSessionAfterInfo = false;
    if (!m_InfoRequested)
        RequestInformation();
    m_CloseSessionAfterInfo = true;
    m_doEvents();

    std::int32_t total = 0;
    // Every byte counted is on the file before the event, so that a write error ends the
    // download without one: a download has exactly one ending. A network wait given up
    // because of a cancel request ends here too, never as a failure of the server or as the
    // end of the resource.
    const auto cancelled = [&] {
        m_doEvents();
        if (held.file)
            held.file->flush();
        std::array<Variant, 1> position{Variant(total)};
        raiseEvent(event::DownloadCancelled, position);
        held.closeHandles();
        if (held.file)
            held.file->close();
    };
    const auto error = [&](std::u16string_view message) {
        std::array<Variant, 1> args{Variant(std::u16string(message))};
        raiseEvent(event::DownloadError, args);
    };

    // A resumed download asks for the rest alone (so that no whole answer is begun only to be
    // dropped), and only of the resource whose bytes the file holds.
    const bool ifRange = m_ResumePosition != 0 && !m_ResumeValidator.empty();
    std::string headers;
    if (m_ResumePosition != 0)
        headers = "Range: bytes=" + std::to_string(m_ResumePosition) + "-\r\n";
    if (ifRange)
        headers += "If-Range: " + ansi(m_ResumeValidator) + "\r\n";
    held.holdUrl(m_internet.openUrl(session, address(m_Url),
                                    headers.empty() ? std::nullopt : std::optional<std::string>(headers),
                                    inet::kFlagExistingConnect, 0));
    // An error answer (a missing file, a server's failure, a proxy's refusal) is no file: its
    // page is never written as one. A range beyond the end is the position's to judge.
    std::optional<std::string> answer = held.url() != 0 ? answerOf(m_internet, held.url()) : std::nullopt;
    const int status = answer ? inet::answerStatus(*answer).value_or(0) : 0;
    if (held.url() == 0 || !answer || (status >= 400 && !(m_ResumePosition != 0 && status == 416))) {
        if (m_CancelRequested)
            return cancelled();
        m_internet.closeHandle(held.url());
        held.holdUrl(0);
        held.leaveSessionOpen();
        return error(kCouldNotFindUrl);
    }

    // The validator of what the file will hold: this answer's when all of it comes from this
    // answer, the one sent when the server confirmed it, none when the old bytes are unknown.
    std::u16string validator = m_ResumePosition == 0 ? runtime::fromAnsi(inet::rangeValidator(*answer).value_or(""))
                               : ifRange             ? m_ResumeValidator
                                                     : std::u16string();
    // Nothing lies beyond the file: the server refused the range (Apache and lighttpd without
    // the resource's length) of a file as long as the information request said it is.
    bool whole = false;
    if (m_ResumePosition != 0) {
        m_doEvents();
        std::uint32_t position =
            m_internet.setFilePointer(held.url(), m_ResumePosition, nullptr, inet::kFileCurrent, 0);
        whole = position == inet::kInvalidSetFilePointer && status == 416 && m_InfoUrl == m_Url
                && m_FileSize == m_ResumePosition;
        if (whole)
            position = static_cast<std::uint32_t>(m_ResumePosition);
        if (position == inet::kInvalidSetFilePointer) {
            if (m_CancelRequested)
                return cancelled();
            error(kErrorSettingPosition);
            held.closeHandles();
            return;
        }
        if (position == 0) {
            // The resource changed: the answer is the whole new one, from its first byte.
            answer = answerOf(m_internet, held.url());
            validator = runtime::fromAnsi(inet::rangeValidator(answer.value_or("")).value_or(""));
        }
        total = static_cast<std::int32_t>(position);
    }

    m_doEvents();
    held.file.emplace(runtime::toText(m_LocalFile));
    if (total == 0) {
        // A fresh download replaces the whole file: a longer old file must not keep its tail.
        held.file->truncateHere();
    } else {
        held.file->seek(total);
    }
    m_ResumeValidator = std::move(validator);

    // A body without a length of its own ends where its connection does, and so does one a relay
    // cut off (HTTP/1.0, as WinINet asks, has no other framing): it is whole only when it is as
    // long as the information request about this same address said.
    const std::int32_t expected = !inet::bodyLength(answer.value_or("")) && m_InfoUrl == m_Url ? m_FileSize : -1;
    std::array<std::byte, kChunkSize> chunk{};
    bool moreToRead = true;
    while (moreToRead) {
        m_doEvents();
        std::uint32_t count = 0;
        bool read = whole || m_internet.readFile(held.url(), chunk, count);
        read = read && !(count == 0 && total < expected);
        if (!read) {
            if (m_CancelRequested)
                return cancelled();
            m_doEvents();
            held.closeHandles();
            held.file->close();
            return error(kCouldNotReadUrl);
        }
        m_doEvents();
        total = addChecked(total, count);
        if (count > 0)
            held.file->write(std::span<const std::byte>(chunk.data(), count));
        else
            moreToRead = false;

        std::array<Variant, 1> progress{Variant(total)};
        raiseEvent(event::DownloadProgress, progress);
        total = runtime::toLong(progress[0]);
        m_doEvents();

        if (m_CancelRequested)
            return cancelled();
        m_doEvents();
    }

    held.closeHandles();
    held.file->close();
    raiseEvent(event::DownloadComplete);
}
