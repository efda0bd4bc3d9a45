#pragma once

#include "download/internet_file_dispatch.h"
#include "platform/controls/dispatch.h"
#include "platform/controls/user_control.h"
#include "platform/inet/internet.h"
#include "platform/runtime/boolean.h"
#include "platform/runtime/variant.h"

#include <cstdint>
#include <functional>
#include <string>

// InternetFile: a non-visual download control. It copies the resource named by Url into the
// file named by LocalFile in 2048-byte chunks on the caller's thread, letting the host process
// its pending events between steps (the injected `doEvents`), and reports through its four
// events to its site. Not thread-safe: everything runs on the host's one thread.
class InternetFile : public controls::UserControl, public controls::Dispatch {
public:
    // The ports a new control holds, a store without them gives and a store is not written.
    static constexpr std::int16_t kDefaultPort = 80;
    static constexpr std::int16_t kDefaultProxyPort = 8080;

    // `internet` must outlive the control. `doEvents` processes the host's pending events once.
    InternetFile(inet::Internet& internet, std::function<void()> doEvents);
    // Releases a session that is still open.
    ~InternetFile() override;
    InternetFile(const InternetFile&) = delete;
    InternetFile& operator=(const InternetFile&) = delete;

    runtime::Bool16 FileExists() const { return m_FileExists; }
    std::u16string LastModified() const { return m_LastModified; }
    std::int32_t FileSize() const { return m_FileSize; }
    runtime::Variant LocalFile() const { return m_LocalFile; }
    std::int32_t ConnectType() const { return m_ConnectType; }
    std::u16string Url() const { return m_Url; }
    std::int16_t Port() const { return m_Port; }
    std::u16string SiteUser() const { return m_SiteUser; }
    std::u16string SitePassword() const { return m_SitePassword; }
    std::int16_t ProxyPort() const { return m_ProxyPort; }
    std::u16string ProxyServer() const { return m_ProxyServer; }
    std::u16string ProxyUser() const { return m_ProxyUser; }
    std::u16string ProxyPassword() const { return m_ProxyPassword; }
    // The validator (a strong ETag, else Last-Modified) of the answer whose bytes LocalFile holds:
    // set by each download, "" when that answer gave none or the bytes are not all of one known
    // answer. ResumeDownload sends it with its range ("If-Range"): a changed resource then comes
    // whole, from its first byte, instead of its tail after the old bytes. Not stored.
    std::u16string ResumeValidator() const { return m_ResumeValidator; }

    // Each setter stores without validation, then sends the property-changed notice.
    void setLocalFile(runtime::Variant New_LocalFile);
    void setConnectType(std::int32_t New_ConnectType);
    void setUrl(std::u16string New_Url);
    void setPort(std::int16_t New_Port);
    void setSiteUser(std::u16string New_SiteUser);
    void setSitePassword(std::u16string New_SitePassword);
    void setProxyPort(std::int16_t New_ProxyPort);
    void setProxyServer(std::u16string New_ProxyServer);
    void setProxyUser(std::u16string New_ProxyUser);
    void setProxyPassword(std::u16string New_ProxyPassword);
    // For a host that resumes a file of an earlier run with the validator it recorded then.
    void setResumeValidator(std::u16string New_ResumeValidator);

    // Downloads Url into LocalFile from the first byte. Returns when the download has ended
    // with one of its events; a local file error, a count overflow or an error of the
    // information request ends it without an event and is thrown as runtime::RuntimeError. An
    // answer of status 400 or more is no file: DownloadError "Could not find Url", no file made.
    void StartDownload();
    // Continues after the bytes already in LocalFile (from the first byte when the resource
    // changed, see ResumeValidator); never throws a run-time error.
    void ResumeDownload();
    // Marks a cancel request that a running download sees after its current chunk, or at once
    // when it is waiting on the network; it then ends with DownloadCancelled.
    void CancelDownload();
    // One HEAD request for Url ("https://" over TLS): fills FileExists, FileSize and
    // LastModified. Throws the
    // conversion error of a Content-Length that is no 32-bit number. A cancel request made
    // while it waits on the network gives the request up, as a server that does not answer.
    void RequestInformation();

    runtime::Variant invoke(controls::DispId id, controls::InvokeKind kind, std::span<runtime::Variant> args) override;

    // For tests and hosts that inspect the engine.
    inet::Handle sessionHandle() const noexcept { return m_SessionHandle; }

protected:
    void initProperties() override;
    void readProperties(const controls::PropertyStore& store) override;
    void writeProperties(controls::PropertyStore& store) override;
    void resized() override;

private:
    void OpenInternetSession();
    void openSessionOfConnectType();
    void RunDownload();
    void parseHeaders(const std::u16string& headers);

    inet::Internet& m_internet;
    std::function<void()> m_doEvents;
    controls::DispatchTable m_members;

    runtime::Bool16 m_FileExists = runtime::False;
    std::u16string m_LastModified;
    std::int32_t m_FileSize = 0;
    runtime::Variant m_LocalFile = u"";
    std::int32_t m_ConnectType = 0;
    std::u16string m_Url;
    std::int16_t m_Port = kDefaultPort;
    std::u16string m_SiteUser;
    std::u16string m_SitePassword;
    std::int16_t m_ProxyPort = kDefaultProxyPort;
    std::u16string m_ProxyServer;
    std::u16string m_ProxyUser;
    std::u16string m_ProxyPassword;
    std::u16string m_ResumeValidator;

    inet::Handle m_SessionHandle = 0;
    bool m_CancelRequested = false;
    std::int32_t m_ResumePosition = 0;
    bool m_InfoRequested = false;
    std::u16string m_InfoUrl;  // the address FileSize describes
    bool m_CloseSessionAfterInfo = false;
    bool m_Downloading = false;
};
