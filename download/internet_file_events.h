#pragma once

#include "platform/controls/control_site.h"

#include <cstdint>
#include <functional>
#include <string>

// The four events of InternetFile as typed calls, for a host that handles them rather than the
// control's Variants. Each handler gets its argument by reference, as the control passes it:
// what the handler assigns is what the control reads back. A handler left empty ignores its event.
struct InternetFileHandlers {
    std::function<void(std::int32_t& lBytesRead)> DownloadProgress;
    std::function<void(std::u16string& sErrorDescription)> DownloadError;
    std::function<void(std::int32_t& lPosition)> DownloadCancelled;
    std::function<void()> DownloadComplete;
};

// A container's site for an InternetFile that passes its events on to `handlers`. The control
// stores no properties in it: property-changed notices go nowhere.
class InternetFileSite : public controls::ControlSite {
public:
    explicit InternetFileSite(InternetFileHandlers handlers) : m_handlers(std::move(handlers)) {}

    void propertyChanged(std::u16string_view) override {}
    // Throws the run-time's type mismatch for an argument of another type than the event's.
    void raiseEvent(const controls::EventInfo& event, std::span<runtime::Variant> args) override;

private:
    InternetFileHandlers m_handlers;
};
