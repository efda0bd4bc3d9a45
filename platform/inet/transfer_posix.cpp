#include "platform/inet/transfer_posix.h"

#include "platform/inet/http_headers.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace inet {

namespace {

constexpr long kCurlReceiveBufferSize = 512 * 1024;

using Clock = std::chrono::steady_clock;

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

long millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

}  // namespace

CurlTransfer::CurlTransfer(const std::string& url, const TransferSettings& settings, const Timeouts& timeouts)
    : m_timeouts(timeouts)
    , m_settings(settings)
    , m_first(parseUrl(url))
    , m_buffer(kTransferBufferSize)
    , m_started(Clock::now())
    , m_lastWait(m_started)
    , m_stall(timeouts, m_started)
{
    m_multi = curl().multi_init();
    if (!m_multi || !m_first || !startHop(*m_first))
        fail();
}

CurlTransfer::~CurlTransfer()
{
    endHop();
    if (m_multi)
        curl().multi_cleanup(m_multi);
}

void CurlTransfer::endHop()
{
    if (m_easy) {
        curl().multi_remove_handle(m_multi, m_easy);
        curl().easy_cleanup(m_easy);
        m_easy = nullptr;
    }
    curl().slist_free_all(m_headers);
    m_headers = nullptr;
}

bool CurlTransfer::startHop(const ParsedUrl& url)
{
    endHop();
    if (!mayFollow(m_first->origin, url.origin, m_redirects))
        return false;
    m_current = url;
    m_easy = curl().easy_init();
    if (!m_easy)
        return false;

    // Every option curl refuses fails the request: none of them is a wish.
    bool accepted = true;
    const auto option = [&](CURLoption name, auto value) {
        accepted = accepted && curl().easy_setopt(m_easy, name, value) == CURLE_OK;
    };
    const TransferSettings& s = m_settings;
    option(CURLOPT_URL, url.url.c_str());
    if (!s.agent.empty())
        option(CURLOPT_USERAGENT, s.agent.c_str());
    option(CURLOPT_NOSIGNAL, 1L);
    option(CURLOPT_PROTOCOLS_STR, url.origin.scheme.c_str());
    option(CURLOPT_FOLLOWLOCATION, 0L);  // followed here, hop by hop
    option(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connect.count()));
    option(CURLOPT_BUFFERSIZE, kCurlReceiveBufferSize);
    option(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    option(CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    option(CURLOPT_HEADERDATA, this);
    option(CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
    option(CURLOPT_WRITEDATA, this);

    // The proxy and its exceptions are always named here ("" for none), so that curl reads no
    // variables itself: a named proxy is used for every host, whatever "no_proxy" says, and the
    // system's settings give each hop the proxy of its own scheme.
    const EnvironmentProxy environment =
        s.accessType == kOpenTypePreconfig ? environmentProxy(url.origin.scheme) : EnvironmentProxy{};
    const std::string proxy = s.accessType == kOpenTypeProxy ? s.proxy.value_or("") : environment.proxy;
    option(CURLOPT_PROXY, proxy.c_str());
    option(CURLOPT_NOPROXY, environment.noProxy.c_str());
    // The session's proxy credentials, else those the environment's proxy URL held.
    const auto& proxyUser = s.proxyUser ? s.proxyUser : environment.user;
    const auto& proxyPassword = s.proxyUser ? s.proxyPassword : environment.password;
    m_proxyCredentials = proxyUser.has_value();
    if (proxyUser) {
        option(CURLOPT_PROXYUSERNAME, proxyUser->c_str());
        option(CURLOPT_PROXYPASSWORD, proxyPassword.value_or("").c_str());
        option(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
    }
    // Pinned authorities replace the system's store: no file or folder of it is read.
    if (!s.trust.authoritiesPem.empty()) {
        curl_blob authorities{const_cast<char*>(s.trust.authoritiesPem.data()), s.trust.authoritiesPem.size(),
                              CURL_BLOB_COPY};
        option(CURLOPT_CAINFO_BLOB, &authorities);
        option(CURLOPT_CAINFO, static_cast<char*>(nullptr));
        option(CURLOPT_CAPATH, static_cast<char*>(nullptr));
    }

    // The site's credentials are for the server they were given for, never for another that
    // a redirect names.
    m_siteCredentials = s.user && carriesCredentials(m_first->origin, url.origin);
    if (m_siteCredentials) {
        option(CURLOPT_USERNAME, s.user->c_str());
        option(CURLOPT_PASSWORD, s.password.value_or("").c_str());
    }
    if (s.port != 0 && m_redirects == 0)
        option(CURLOPT_PORT, s.port);
    if (s.head) {
        option(CURLOPT_NOBODY, 1L);
        // An answer without a body has no length to check: its header block goes to the
        // caller whatever its Content-Length says.
        option(CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    }
    if (s.http10) {
        option(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
        // Over TLS curl would offer "http/1.0" alone by ALPN, which Apache answers with a
        // protocol it was not offered: the handshake fails. A request of 1.0 offers none.
        option(CURLOPT_SSL_ENABLE_ALPN, 0L);
    }
    const auto header = [&](const std::string& line) {
        curl_slist* more = curl().slist_append(m_headers, line.c_str());
        accepted = accepted && more;
        m_headers = more ? more : m_headers;
    };
    if (s.reload) {
        header("Cache-Control: no-cache");
        header("Pragma: no-cache");
    }
    for (std::string_view lines = s.headers; !lines.empty();) {
        const auto end = std::min(lines.find("\r\n"), lines.size());
        if (end > 0)
            header(std::string(lines.substr(0, end)));
        lines.remove_prefix(std::min(end + 2, lines.size()));
    }
    if (m_headers)
        option(CURLOPT_HTTPHEADER, m_headers);
    if (s.rangeFrom) {
        const std::string range = std::to_string(*s.rangeFrom) + "-";
        option(CURLOPT_RANGE, range.c_str());  // copied by curl
    }
    if (!accepted || curl().multi_add_handle(m_multi, m_easy) != CURLM_OK) {
        endHop();
        return false;
    }
    m_finished = m_failed = m_challenged = false;
    m_currentBlock.clear();
    m_redirect.reset();
    m_stall.restart(Clock::now());
    return true;
}

bool CurlTransfer::followRedirect()
{
    const auto next = resolveUrl(m_current.url, *m_redirect);
    m_redirect.reset();
    ++m_redirects;
    return next && startHop(*next);
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
    // Header bytes are no progress of the body: the stall rule counts body bytes alone.
    const std::string_view text = withoutLineEnd(line);
    if (startsWithNoCase(text, "HTTP/")) {
        m_currentBlock.assign(text);
        m_currentBlock += "\r\n";
    } else if (text.empty()) {
        long code = 0;
        if (!answerStatus(m_currentBlock) || curl().easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) {
            fail();  // no HTTP answer: a status out of range, no header line
            return 0;
        }
        if ((m_redirect = redirectionOf(code, m_currentBlock)))
            return 0;  // the hop ends here; the next one starts where the answer points
        if (code >= 200) {
            // curl reads a length like "1e3" or "12.5" as the number before the first stray
            // character, which would end the body early: such an answer is refused whole.
            if (!contentLengthIsSound(m_currentBlock) && !m_settings.head) {
                fail();
                return 0;
            }
            // A first demand for credentials that this hop has is curl's to answer with them
            // (by the scheme it asks for): its answer comes next. It is final only if none does.
            const bool answered = (code == 401 && m_siteCredentials) || (code == 407 && m_proxyCredentials);
            m_headerBlock = m_currentBlock + "\r\n";
            m_statusCode = code;
            if (answered && !std::exchange(m_challenged, true))
                return line.size();
            m_headersDone = true;
        }
    } else {
        m_currentBlock.append(text);
        m_currentBlock += "\r\n";
    }
    return line.size();
}

std::size_t CurlTransfer::body(std::span<const std::byte> bytes)
{
    if (bytes.size() > m_buffer.size() - m_end && m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, buffered());
        m_end -= m_begin;
        m_begin = 0;
    }
    if (bytes.size() > m_buffer.size() - m_end) {
        m_paused = true;
        return CURL_WRITEFUNC_PAUSE;  // curl keeps these bytes and offers them again on resume
    }
    m_stall.received(bytes.size(), Clock::now());
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
    if (!m_settings.wait || now - m_lastWait < kWaitSlice)
        return true;
    const bool keep = m_settings.wait();
    // The callback may have run for long (a modal box): that time is the host's, and counts
    // neither as a stall nor against the header limit.
    m_lastWait = Clock::now();
    m_stall.pause(m_lastWait - now);
    m_started += m_lastWait - now;
    return keep;
}

void CurlTransfer::resume()
{
    if (m_suspended)
        m_stall.pause(Clock::now() - *m_suspended);
    m_suspended.reset();
}

void CurlTransfer::suspend()
{
    m_suspended = Clock::now();
}

bool CurlTransfer::pump()
{
    if (m_finished)
        return false;
    auto now = Clock::now();
    if (!keepWaiting(now) || (!m_headersDone && now - m_started >= m_timeouts.headers)) {
        fail();
        return false;
    }
    now = Clock::now();
    // A server that sends nothing, or trickles, for the stall time has failed.
    if (m_stall.stalled(now)) {
        fail();
        return false;
    }
    // The wait ends as soon as a socket is ready or curl's own timer is due, at once when bytes
    // are already waiting: each arrival costs one wait and one step, as in curl's own loop.
    long wait = std::min<long>(
        static_cast<long>(std::chrono::ceil<std::chrono::milliseconds>(m_stall.left(now)).count()), kWaitSlice.count());
    if (!m_headersDone)
        wait = std::min(wait, static_cast<long>(m_timeouts.headers.count()) - millisecondsBetween(m_started, now));
    if (curl().multi_poll(m_multi, nullptr, 0, static_cast<int>(std::max(wait, 1L)), nullptr) != CURLM_OK) {
        fail();
        return false;
    }

    int running = 0;
    if (curl().multi_perform(m_multi, &running) != CURLM_OK) {
        fail();
        return false;
    }
    int queued = 0;
    while (CURLMsg* message = curl().multi_info_read(m_multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
            m_finished = true;
            m_failed = m_failed || message->data.result != CURLE_OK;
        }
    }
    return !m_finished;
}

bool CurlTransfer::waitForHeaders()
{
    resume();
    for (;;) {
        while (!m_headersDone && pump()) {}
        // A demand for credentials that curl did not answer again was the final answer.
        m_headersDone = m_headersDone || (m_challenged && m_finished && !m_failed);
        if (m_headersDone || !m_redirect)
            break;
        if (!followRedirect()) {
            fail();
            break;
        }
    }
    suspend();
    // An answer broken before its blank line, or one refused there, was no answer.
    return m_headersDone;
}

bool CurlTransfer::finish()
{
    if (!waitForHeaders())
        return false;
    resume();
    while (pump()) {}
    suspend();
    return !m_failed;
}

std::optional<std::string> CurlTransfer::header(std::string_view name) const
{
    return headerValue(m_headerBlock, name);
}

bool CurlTransfer::read(std::span<std::byte> buffer, std::size_t& count)
{
    count = 0;
    // A read served from the buffer leaves the server's clock stopped: only one that drives
    // the transfer starts it, and stops it again when it is done.
    bool driving = false;
    const auto drive = [&] {
        if (!driving)
            resume();
        driving = true;
    };
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
        drive();
        if (m_paused) {
            m_paused = false;
            if (curl().easy_pause(m_easy, CURLPAUSE_CONT) != CURLE_OK)
                fail();
            continue;
        }
        pump();
    }
    if (driving)
        suspend();
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
