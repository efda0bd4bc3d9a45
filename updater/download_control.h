#pragma once

#include "download/internet_file_dispatch.h"
#include "platform/controls/dispatch.h"
#include "platform/runtime/conversions.h"

#include <cstdint>
#include <string>
#include <utility>

// The download control as the update procedure uses it: the control's dispatch interface,
// which is its public face to any host, with the members the procedure calls typed. A
// property's conversion is the dispatch's own, as a host's script would see it.
class DownloadControl {
public:
    explicit DownloadControl(controls::Dispatch& control) : m_control(control) {}

    void setUrl(const std::u16string& url) { put(internet_file::dispid::Url, url); }
    void setPort(std::int32_t port) { put(internet_file::dispid::Port, port); }
    void setConnectType(std::int32_t type) { put(internet_file::dispid::ConnectType, type); }
    void setLocalFile(const std::u16string& path) { put(internet_file::dispid::LocalFile, path); }
    void setResumeValidator(const std::u16string& validator) { put(internet_file::dispid::ResumeValidator, validator); }

    std::int32_t fileSize()
    {
        return runtime::toLong(controls::dispatchGet(m_control, internet_file::dispid::FileSize));
    }
    std::u16string resumeValidator()
    {
        return runtime::toText(controls::dispatchGet(m_control, internet_file::dispid::ResumeValidator));
    }

    void requestInformation() { controls::dispatchCall(m_control, internet_file::dispid::RequestInformation); }
    void startDownload() { controls::dispatchCall(m_control, internet_file::dispid::StartDownload); }
    void resumeDownload() { controls::dispatchCall(m_control, internet_file::dispid::ResumeDownload); }
    void cancelDownload() { controls::dispatchCall(m_control, internet_file::dispid::CancelDownload); }

private:
    void put(controls::DispId id, runtime::Variant value) { controls::dispatchPut(m_control, id, std::move(value)); }

    controls::Dispatch& m_control;
};
