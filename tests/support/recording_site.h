#pragma once

#include "platform/controls/control_site.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/text.h"

#include <functional>
#include <string>
#include <vector>

// A container that writes the notices and events it receives into a log, one line each
// ("changed Url", "DownloadProgress 2048"), and lets a test react to an event.
class RecordingSite : public controls::ControlSite {
public:
    explicit RecordingSite(std::vector<std::string>& log) : m_log(log) {}

    std::function<void(const controls::EventInfo&, std::span<runtime::Variant>)> onEvent;

    void propertyChanged(std::u16string_view name) override { m_log.push_back("changed " + runtime::toUtf8(name)); }
    void raiseEvent(const controls::EventInfo& event, std::span<runtime::Variant> args) override
    {
        std::string line = runtime::toUtf8(event.name);
        for (const auto& arg : args)
            line += " " + runtime::toUtf8(runtime::toText(arg));
        m_log.push_back(line);
        if (onEvent)
            onEvent(event, args);
    }

private:
    std::vector<std::string>& m_log;
};
