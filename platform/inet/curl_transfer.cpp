#include "platform/inet/curl_transfer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace inet {

namespace {

constexpr long kCurlReceiveBufferSize = 512 * 1024;

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

std::string_view headerValue(std::string_view line)
{
    line.remove_prefix(line.find(':') + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

using Clock = std::chrono::steady_clock;

long millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

}  // namespace

EnvironmentProxy environmentProxy(std::string_view url)
{
    // curl itself takes "HTTP_PROXY" in capitals for no one; every other program here does.
    const auto variable = [](const char* lower, const char* upper) {
        for (const char* name : {lower, upper}) {
            if (const char* value = std::getenv(name); value && *value)
                return std::string(value);
        }
        return std::string();
    };
    const bool secure = startsWithNoCase(url, "https://");
    return {secure ? variable("https_proxy", "HTTPS_PROXY") : variable("http_proxy", "HTTP_PROXY"),
            variable("no_proxy", "NO_PROXY")};
}

void ensureCurlInitialised()
{
    // curl_global_init is not thread-safe on its own; a function-local static runs it once.
    static const bool initialised = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)initialised;
}

CurlTransfer::CurlTransfer(const std::string& url, const TransferSettings& settings, const Timeouts& timeouts)
    : m_timeouts(timeouts)
    , m_buffer(kTransferBufferSize)
    , m_head(settings.head)
    , m_wait(settings.wait)
    , m_started(Clock::now())
    , m_lastActivity(m_started)
    , m_lastWait(m_started)
{
    ensureCurlInitialised();
    m_multi = curl_multi_init();
    m_easy = curl_easy_init();
    if (!m_multi || !m_easy) {
        m_failed = m_finished = true;
        return;
    }

    CURL* e = m_easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    if (!settings.agent.empty())
        curl_easy_setopt(e, CURLOPT_USERAGENT, settings.agent.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    // What was asked for over TLS is never followed to plain HTTP.
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, startsWithNoCase(url, "https://") ? "https" : "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connect.count()));
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kCurlReceiveBufferSize);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);

    // The proxy and its exceptions are always named here ("" for none), so that curl reads no
    // variables itself: a named proxy is used for every host, whatever "no_proxy" says.
    if (settings.accessType == kOpenTypePreconfig) {
        const EnvironmentProxy environment = environmentProxy(url);
        curl_easy_setopt(e, CURLOPT_PROXY, environment.proxy.c_str());
        curl_easy_setopt(e, CURLOPT_NOPROXY, environment.noProxy.c_str());
    } else {
        curl_easy_setopt(e, CURLOPT_PROXY,
                         settings.accessType == kOpenTypeProxy ? settings.proxy.value_or("").c_str() : "");
        curl_easy_setopt(e, CURLOPT_NOPROXY, "");
    }
    if (settings.proxyUser) {
        curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, settings.proxyUser->c_str());
        curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, settings.proxyPassword.value_or("").c_str());
        curl_easy_setopt(e, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    }
    // Pinned authorities replace the system's store: no file or folder of it is read.
    if (!settings.trust.authoritiesPem.empty()) {
        curl_blob authorities{const_cast<char*>(settings.trust.authoritiesPem.data()),
                              settings.trust.authoritiesPem.size(), CURL_BLOB_COPY};
        curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &authorities);
        curl_easy_setopt(e, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
    }

    if (settings.user) {
        curl_easy_setopt(e, CURLOPT_USERNAME, settings.user->c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, settings.password.value_or("").c_str());
    }
    if (settings.port != 0)
        curl_easy_setopt(e, CURLOPT_PORT, settings.port);
    if (settings.head) {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        // An answer without a body has no length to check: its header block goes to the
        // caller whatever its Content-Length says.
        curl_easy_setopt(e, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    }
    if (settings.totalLimit)
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.totalLimit->count()));
    if (settings.http10)
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    if (settings.reload) {
        m_headers = curl_slist_append(m_headers, "Cache-Control: no-cache");
        m_headers = curl_slist_append(m_headers, "Pragma: no-cache");
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
    }
    if (settings.rangeFrom) {
        const std::string range = std::to_string(*settings.rangeFrom) + "-";
        curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());  // copied by curl
    }

    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        m_failed = m_finished = true;
}

CurlTransfer::~CurlTransfer()
{
    if (m_multi && m_easy)
        curl_multi_remove_handle(m_multi, m_easy);
    if (m_easy)
        curl_easy_cleanup(m_easy);
    if (m_multi)
        curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_headers);
}

std::size_t CurlTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self)
{
    return static_cast<CurlTransfer*>(self)->headerLine(std::string_view(data, size * count));
}

std::size_t CurlTransfer::onBody(char* data, std::size_t size, std::size_t count, void* self)
{
    return static_cast<CurlTransfer*>(self)->body(
        std::span<const std::byte>(reinterpret_cast<const std::byte*>(data), size * count));
}

std::size_t CurlTransfer::headerLine(std::string_view line)
{
    m_lastActivity = Clock::now();
    const std::string_view text = withoutLineEnd(line);
    if (startsWithNoCase(text, "HTTP/")) {
        m_currentBlock.assign(text);
        m_currentBlock += "\r\n";
        m_blockHasLocation = false;
        m_blockLength.reset();
        m_blockLengthMalformed = false;
        long code = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
        m_answered = m_answered || code >= 400 || (code >= 200 && code < 300);
    } else if (text.empty()) {
        long code = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
        // curl follows a 3xx answer exactly when its Location is not blank.
        const bool redirect = code >= 300 && code < 400 && m_blockHasLocation;
        if (code >= 200 && !redirect) {
            m_headerBlock = m_currentBlock + "\r\n";
            m_statusCode = code;
            m_headersDone = true;
            // curl reads a length like "1e3" or "12.5" as the number before the first stray
            // character, which would end the body early: such a body cannot be read.
            if (m_blockLengthMalformed && !m_head) {
                fail();
                return 0;
            }
        }
    } else {
        m_currentBlock.append(text);
        m_currentBlock += "\r\n";
        if (startsWithNoCase(text, "location:") && !headerValue(text).empty())
            m_blockHasLocation = true;
        if (startsWithNoCase(text, "content-length:")) {
            const std::string_view value = headerValue(text);
            if (!allDigits(value) || (m_blockLength && *m_blockLength != value))
                m_blockLengthMalformed = true;
            m_blockLength = std::string(value);
        }
    }
    return line.size();
}

std::size_t CurlTransfer::body(std::span<const std::byte> bytes)
{
    m_lastActivity = Clock::now();
    m_headersDone = true;
    if (bytes.size() > m_buffer.size() - m_end && m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, buffered());
        m_end -= m_begin;
        m_begin = 0;
    }
    if (bytes.size() > m_buffer.size() - m_end) {
        m_paused = true;
        return CURL_WRITEFUNC_PAUSE;  // curl keeps these bytes and offers them again on resume
    }
    std::memcpy(m_buffer.data() + m_end, bytes.data(), bytes.size());
    m_end += bytes.size();
    return bytes.size();
}

void CurlTransfer::fail()
{
    m_failed = m_finished = true;
}

bool CurlTransfer::keepWaiting(Clock::time_point now)
{
    if (!m_wait || now - m_lastWait < kWaitSlice)
        return true;
    const bool keep = m_wait();
    // The callback may have run for long (a modal box): that time is the host's, and counts
    // neither as a stall nor against the header limit.
    m_lastWait = Clock::now();
    m_lastActivity += m_lastWait - now;
    m_started += m_lastWait - now;
    return keep;
}

bool CurlTransfer::pump()
{
    if (m_finished)
        return false;
    const auto now = Clock::now();
    if (!keepWaiting(now) || (!m_headersDone && now - m_started >= m_timeouts.headers)) {
        fail();
        return false;
    }
    const long idle = millisecondsBetween(m_lastActivity, now);
    if (idle >= m_timeouts.stall.count()) {
        fail();
        return false;
    }
    // The wait ends as soon as a socket is ready or curl's own timer is due, at once when bytes
    // are already waiting: each arrival costs one wait and one step, as in curl's own loop.
    long wait = std::min<long>(m_timeouts.stall.count() - idle, kWaitSlice.count());
    if (!m_headersDone)
        wait = std::min(wait, static_cast<long>(m_timeouts.headers.count()) - millisecondsBetween(m_started, now));
    curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(std::max(wait, 1L)), nullptr);

    int running = 0;
    if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
        fail();
        return false;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
            m_finished = true;
            m_failed = m_failed || message->data.result != CURLE_OK;
        }
    }
    return !m_finished;
}

bool CurlTransfer::waitForHeaders()
{
    m_lastActivity = Clock::now();
    while (!m_headersDone && pump()) {
    }
    return m_headersDone || m_answered;
}

bool CurlTransfer::finish()
{
    m_lastActivity = Clock::now();
    while (pump()) {
    }
    return m_headersDone && !m_failed;
}

std::optional<std::string> CurlTransfer::header(std::string_view name) const
{
    std::string_view block = m_headerBlock;
    while (!block.empty()) {
        const auto end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        if (line.size() > name.size() && line[name.size()] == ':' && startsWithNoCase(line, name)) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            return std::string(value);
        }
        if (end == std::string_view::npos)
            break;
        block.remove_prefix(end + 2);
    }
    return std::nullopt;
}

bool CurlTransfer::read(std::span<std::byte> buffer, std::size_t& count)
{
    count = 0;
    m_lastActivity = Clock::now();
    while (count < buffer.size()) {
        if (buffered() > 0) {
            const std::size_t n = std::min(buffered(), buffer.size() - count);
            std::memcpy(buffer.data() + count, m_buffer.data() + m_begin, n);
            m_begin += n;
            count += n;
            if (m_begin == m_end)
                m_begin = m_end = 0;
            continue;
        }
        if (m_finished)
            break;
        if (m_paused) {
            m_paused = false;
            curl_easy_pause(m_easy, CURLPAUSE_CONT);
            continue;
        }
        pump();
    }
    // Bytes already taken are delivered; a failure shows on the next read.
    return count > 0 || !m_failed;
}

bool CurlTransfer::skip(std::int64_t count)
{
    // Small steps: every step lets the wait callback run when its slice has passed.
    std::array<std::byte, 2048> scratch{};
    while (count > 0) {
        std::size_t got = 0;
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count, scratch.size()));
        if (!read(std::span(scratch.data(), want), got) || got == 0 || !keepWaiting(Clock::now()))
            return false;
        count -= static_cast<std::int64_t>(got);
    }
    return true;
}

}  // namespace inet
