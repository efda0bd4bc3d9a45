#include "platform/inet/internet_win32.h"

#include "platform/inet/http_headers.h"
#include "platform/inet/transfer_rules.h"

#include <wincrypt.h>

// Not in every SDK's headers: the chain of the server's certificate, as the system built it.
#ifndef INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT
#define INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT 105
#endif

namespace inet {

bool WinInetInternet::run(Object& target, Exchange exchange, UrlParts url)
{
    const Handle targetHandle = m_objects.handleOf(target);
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

bool WinInetInternet::sendOnce(Handle targetHandle, const Exchange& exchange, const UrlParts& url, bool withCredentials,
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
    target->connect = ::InternetConnectA(
        session->internet, url.host.c_str(), url.port, credentials ? exchange.user->c_str() : nullptr,
        credentials ? exchange.password.value_or("").c_str() : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
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
        security |=
            SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
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

bool WinInetInternet::trusted(HINTERNET request, const std::string& host)
{
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    DWORD size = sizeof chain;
    if (!::InternetQueryOptionA(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &chain, &size) || !chain)
        return false;
    const bool trust = m_pinned.trust(*chain) && PinnedAuthorities::names(*chain, host);
    ::CertFreeCertificateChain(chain);
    return trust;
}

bool WinInetInternet::readAnswer(Handle targetHandle, Handle session, Clock::time_point deadline)
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

bool WinInetInternet::openUrlFile(Object& file, std::int64_t from)
{
    // HTTP/1.0, so that the body comes by its length or until the connection ends: WinINet
    // decodes a chunked body without telling a broken one from a whole one.
    Exchange exchange{file.parent, "GET", "HTTP/1.0", file.extraHeaders, true, std::nullopt, std::nullopt};
    if (from > 0)
        exchange.headers += "Range: bytes=" + std::to_string(from) + "-\r\n";
    file.atEnd = false;
    file.stall.emplace(m_timeouts, Clock::now());
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

}  // namespace inet
