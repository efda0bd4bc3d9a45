#pragma once

#include "platform/inet/curl_internet.h"

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

// Inet1 on libcurl: bytes that are valid UTF-8 are read as UTF-8, others as Windows-1254. A TLS
// server's certificate must chain to `trust`.
class CurlInet1 : public Inet1Control {
public:
    explicit CurlInet1(inet::TlsTrust trust = {}) : m_trust(std::move(trust)) {}
    std::u16string OpenURL(const std::u16string& url, const inet::WaitCallback& wait) override;

private:
    inet::TlsTrust m_trust;
};

// WebBrowser1 as a hidden HTML reader: navigating loads and parses the page with a real HTML
// parser; the body's text is what a browser would show of it.
class HtmlBrowser : public WebBrowserControl {
public:
    explicit HtmlBrowser(inet::TlsTrust trust = {}) : m_trust(std::move(trust)) {}
    void Navigate(const std::u16string& url, const inet::WaitCallback& wait) override;
    std::u16string DocumentBodyInnerText() override;

private:
    inet::TlsTrust m_trust;
    bool m_hasBody = false;
    std::u16string m_bodyText;
};

// The visible text of an HTML document's body: text outside scripts, styles and other hidden
// elements, blanks collapsed, block elements on lines of their own. `hasBody` is false when
// the document has no body to read.
struct HtmlText {
    bool hasBody = false;
    std::string text;
};
HtmlText visibleText(const std::string& html);
