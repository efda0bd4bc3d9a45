#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

// The pieces of the WinINet layer's asynchronous operations: what WinINet reports of a handle's
// operations on threads of its own, and the one query that runs on a thread of the layer's.
namespace inet {

// What the status callback, on a thread of WinINet's own, reports about one handle's
// operations. Two own it: the layer until it closes the handle, and WinINet until it reports
// the handle closing (an operation given up may still complete, and write here); the last one
// deletes it (release).
struct Context {
    Context() : done(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Context() { ::CloseHandle(done); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    HANDLE done;  // set when an operation that went pending completes
    std::atomic<int> owners{2};
    std::atomic<DWORD_PTR> result{0};
};
void release(Context* context);

// The callback of every session: it completes the operations of the handle whose Context it
// is given, and releases WinINet's share of that Context when the handle closes.
void CALLBACK statusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information, DWORD length);

// Processor time that building one answer's raw header text may take. WinINet builds it in
// time that grows with the square of the count of header lines (under Wine: 40,000 short lines
// take half a minute, twice: the length alone costs as much), and cannot tell the length
// without building the text. A real server's block takes well under a millisecond, 5,000 lines
// of 100 KiB about a third of this.
inline constexpr std::chrono::milliseconds kHeaderWork{500};

// HttpQueryInfo of an answer's raw header text, with room for kMaxHeaderBlock, on a thread of
// its own, so that the caller's thread can wait for it in slices and give it up. Two own it:
// the caller until it has waited (release), and the thread until the query returns.
class RawHeaderQuery {
public:
    // nullptr when no thread can be started.
    static RawHeaderQuery* start(HINTERNET request);
    static void release(RawHeaderQuery* query);
    HANDLE done() const { return m_done; }
    // The processor time the query has taken so far.
    std::chrono::nanoseconds work() const;
    // After done(): the text, or nullopt when the query failed or the text did not fit.
    std::optional<std::string> text() const;

private:
    explicit RawHeaderQuery(HINTERNET request);
    ~RawHeaderQuery();
    static DWORD WINAPI run(void* self);

    HINTERNET m_request;  // WinINet keeps what a query works on until it returns
    HANDLE m_done;
    HANDLE m_thread = nullptr;
    std::atomic<int> m_owners{2};
    std::string m_text;
    DWORD m_length = 0;
    BOOL m_ok = FALSE;
};

}  // namespace inet
