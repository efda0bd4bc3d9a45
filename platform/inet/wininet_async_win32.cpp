#include "platform/inet/wininet_async_win32.h"

#include "platform/inet/http_headers.h"

#include <cstdint>

namespace inet {

namespace {

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

}  // namespace

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

RawHeaderQuery* RawHeaderQuery::start(HINTERNET request)
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

void RawHeaderQuery::release(RawHeaderQuery* query)
{
    if (query && --query->m_owners == 0)
        delete query;
}

std::chrono::nanoseconds RawHeaderQuery::work() const
{
    return processorTime(m_thread);
}

std::optional<std::string> RawHeaderQuery::text() const
{
    if (!m_ok)
        return std::nullopt;
    return m_text.substr(0, m_length);
}

RawHeaderQuery::RawHeaderQuery(HINTERNET request)
    : m_request(request), m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_text(kMaxHeaderBlock + 1, '\0')
{
}

RawHeaderQuery::~RawHeaderQuery()
{
    if (m_thread)
        ::CloseHandle(m_thread);
    ::CloseHandle(m_done);
}

DWORD WINAPI RawHeaderQuery::run(void* self)
{
    auto* query = static_cast<RawHeaderQuery*>(self);
    query->m_length = static_cast<DWORD>(query->m_text.size());
    query->m_ok = ::HttpQueryInfoA(query->m_request, HTTP_QUERY_RAW_HEADERS_CRLF, query->m_text.data(),
                                   &query->m_length, nullptr);
    ::SetEvent(query->m_done);
    release(query);
    return 0;
}

}  // namespace inet
