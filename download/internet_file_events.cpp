#include "download/internet_file_events.h"

#include "download/internet_file_dispatch.h"
#include "platform/runtime/conversions.h"

namespace {

// Calls `handler` with the event's one argument as a T, and writes back what it assigned.
template <typename T, typename Read>
void passOn(const std::function<void(T&)>& handler, std::span<runtime::Variant> args, Read read)
{
    if (!handler || args.size() != 1)
        return;
    T value = read(args[0]);
    handler(value);
    args[0] = value;
}

}  // namespace

void InternetFileSite::raiseEvent(const controls::EventInfo& event, std::span<runtime::Variant> args)
{
    namespace ev = internet_file::event;
    const auto number = [](const runtime::Variant& value) { return runtime::toLong(value); };
    const auto text = [](const runtime::Variant& value) { return runtime::toText(value); };
    if (event.number == ev::DownloadProgress.number)
        passOn(m_handlers.DownloadProgress, args, number);
    else if (event.number == ev::DownloadError.number)
        passOn(m_handlers.DownloadError, args, text);
    else if (event.number == ev::DownloadCancelled.number)
        passOn(m_handlers.DownloadCancelled, args, number);
    else if (event.number == ev::DownloadComplete.number && m_handlers.DownloadComplete)
        m_handlers.DownloadComplete();
}
