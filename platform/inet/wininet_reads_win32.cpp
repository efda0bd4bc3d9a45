#include "platform/inet/internet_win32.h"

#include "platform/inet/http_headers.h"
#include "platform/inet/transfer_rules.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace inet {

namespace {

// What one read underneath takes at most: each read costs Wine some tenths of a millisecond
// whatever its size, so that 64 KiB reads alone took three times curl's whole download.
constexpr DWORD kReadAhead = 1024 * 1024;

}  // namespace

std::uint32_t WinInetInternet::setFilePointer(Handle fileHandle, std::int32_t distance, std::int32_t* distanceHigh,
                                              std::uint32_t moveMethod, std::uintptr_t)
{
    Object* file = find(fileHandle, Kind::Url);
    if (!file || file->readStarted || moveMethod != kFileCurrent || distance < 0
        || (distanceHigh && *distanceHigh != 0))
        return kInvalidSetFilePointer;
    if (distance == 0)
        return 0;
    // A URL opened with this very range stands there already: its own answer tells. The
    // platform's own move is not to be relied on: any other asks again for the rest with a
    // range, and the answer must really start at `distance`.
    const bool openedThere = requestedRangeStart(file->extraHeaders) == distance;
    const std::optional<std::uint64_t> wholeLength = openedThere ? std::nullopt : file->announced;
    if (!openedThere && (!openUrlFile(*file, distance) || !find(fileHandle, Kind::Url)))
        return kInvalidSetFilePointer;
    switch (rangeAnswerOf(file->statusCode, file->headerBlock, distance, wholeLength,
                          headerValue(file->extraHeaders, "If-Range").has_value())) {
    case RangeAnswer::FromPosition: break;
    case RangeAnswer::Changed: return 0;
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

bool WinInetInternet::readFile(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& bytesRead)
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

bool WinInetInternet::bodyFlows(Handle fileHandle, Clock::duration hostTime)
{
    Object* file = find(fileHandle, Kind::Url);
    file->stall->pause(hostTime);
    return !file->stall->stalled(Clock::now());
}

bool WinInetInternet::readSome(Handle fileHandle, std::span<std::byte> buffer, std::uint32_t& got)
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

bool WinInetInternet::readAhead(Handle fileHandle)
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
    file->stall->received(count, Clock::now());
    file->received += count;
    // A body that ends before the length its answer gave was cut off, not completed.
    if (count == 0 && file->announced && file->received < *file->announced) {
        fail(fileHandle);
        return false;
    }
    return true;
}

void WinInetInternet::fail(Handle fileHandle)
{
    if (Object* file = find(fileHandle, Kind::Url)) {
        file->failed = true;
        file->closeInternet();
    }
}

}  // namespace inet
