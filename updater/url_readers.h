#pragma once

#include "platform/inet/internet.h"

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
