#pragma once

#include "platform/inet/internet.h"

#include <cstddef>
#include <optional>
#include <string>

// The two URL readers of the window: `Inet1` fetches a document as text, `WebBrowser1` loads
// a page and yields its visible text. Failures raise runtime::RuntimeError. Both read
// synchronously; `wait` runs while they wait on the network (the window's events go on), and
// gives the read up when it returns false.
class Inet1Control {
public:
    virtual ~Inet1Control() = default;
    // The whole document at `url` as text; raises when the address cannot be reached.
    virtual std::u16string OpenURL(const std::u16string& url, const inet::WaitCallback& wait) = 0;
};

class WebBrowserControl {
public:
    virtual ~WebBrowserControl() = default;
    // Starts loading `url` as the current document.
    virtual void Navigate(const std::u16string& url, const inet::WaitCallback& wait) = 0;
    // The visible text of the current document's body; raises 91 when there is no document
    // or no body yet.
    virtual std::u16string DocumentBodyInnerText() = 0;
};

// Inet1 on the internet layer: bytes that are valid UTF-8 are read as UTF-8, others as
// Windows-1254; an answer of status 400 or more cannot be read. `internet` must outlive the
// reader.
class InternetInet1 : public Inet1Control {
public:
    explicit InternetInet1(inet::Internet& internet) : m_internet(internet) {}
    std::u16string OpenURL(const std::u16string& url, const inet::WaitCallback& wait) override;

private:
    inet::Internet& m_internet;
};

// WebBrowser1 as a hidden HTML reader on the internet layer: navigating loads and parses the
// page with a real HTML parser; the body's text is what a browser would show of it.
class HtmlBrowser : public WebBrowserControl {
public:
    explicit HtmlBrowser(inet::Internet& internet) : m_internet(internet) {}
    void Navigate(const std::u16string& url, const inet::WaitCallback& wait) override;
    std::u16string DocumentBodyInnerText() override;

private:
    inet::Internet& m_internet;
    bool m_hasBody = false;
    std::u16string m_bodyText;
};

// The small files that lie beside a program on the update server: its signature, and the list
// of the other forms its release is published in (delta::Index).
inline constexpr std::size_t kMaxReleaseFileSize = 4096;

class ReleaseFileReader {
public:
    virtual ~ReleaseFileReader() = default;
    // The file at `url`, when it can be read, the server answers it with success and it holds
    // at most kMaxReleaseFileSize bytes; nullopt otherwise. `wait` runs while the read waits on
    // the network.
    virtual std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback& wait) = 0;
};

// The reader on the network layer and settings of the download control: the system's proxy
// settings and the control's user agent, so that these files come the way the program comes.
class InternetReleaseFileReader : public ReleaseFileReader {
public:
    // `internet` must outlive the reader.
    explicit InternetReleaseFileReader(inet::Internet& internet) : m_internet(internet) {}
    std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback& wait) override;

private:
    inet::Internet& m_internet;
};
