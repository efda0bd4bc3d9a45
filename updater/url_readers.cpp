#include "updater/url_readers.h"

#include "download/internet_file_dispatch.h"
#include "platform/inet/document_reader.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"
#include "updater/html_text.h"

namespace {

constexpr int kCannotConnect = 35754;
constexpr int kObjectNotSet = 91;

std::u16string decodeDocument(const std::string& bytes)
{
    return runtime::isValidUtf8(bytes) ? runtime::fromUtf8(bytes) : runtime::fromWindows1254(bytes);
}

// A page or text at `url`; nullopt for an answer of status 400 or more, whose page is the
// server's word that there is no such document, not the document.
std::optional<std::string> documentAt(inet::Internet& internet, const std::u16string& url,
                                      const inet::WaitCallback& wait)
{
    auto document = inet::readDocument(internet, internet_file::kUserAgent, runtime::toAnsi(url), wait);
    if (!document || document->status >= 400)
        return std::nullopt;
    return std::move(document->body);
}

}  // namespace

std::u16string InternetInet1::OpenURL(const std::u16string& url, const inet::WaitCallback& wait)
{
    const auto document = documentAt(m_internet, url, wait);
    if (!document)
        throw runtime::RuntimeError(kCannotConnect, u"Unable to connect to remote host");
    return decodeDocument(*document);
}

void HtmlBrowser::Navigate(const std::u16string& url, const inet::WaitCallback& wait)
{
    // The page is loaded here and now, so that it is ready when the caller looks at it.
    m_hasBody = false;
    m_bodyText.clear();
    const auto document = documentAt(m_internet, url, wait);
    if (!document)
        return;
    const HtmlText text = visibleText(*document);
    m_hasBody = text.hasBody;
    m_bodyText = runtime::fromUtf8(text.text);
}

std::u16string HtmlBrowser::DocumentBodyInnerText()
{
    if (!m_hasBody)
        throw runtime::RuntimeError(kObjectNotSet, u"Object variable or With block variable not set");
    return m_bodyText;
}

std::optional<std::string> InternetReleaseFileReader::read(const std::u16string& url, const inet::WaitCallback& wait)
{
    auto document = inet::readDocument(m_internet, internet_file::kUserAgent, runtime::toAnsi(url), wait,
                                       {inet::DocumentLimits{}.time, kMaxReleaseFileSize});
    // An error page is no such file, whatever it holds.
    if (!document || document->status < 200 || document->status > 299)
        return std::nullopt;
    return std::move(document->body);
}
