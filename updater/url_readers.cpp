#include "updater/url_readers.h"

#include "download/internet_file_interface.h"
#include "platform/inet/document_reader.h"
#include "platform/runtime/runtime_error.h"
#include "platform/runtime/text.h"

#include <gumbo.h>

#include <memory>
#include <set>
#include <string_view>

namespace {

constexpr int kCannotConnect = 35754;
constexpr int kObjectNotSet = 91;

std::u16string decodeDocument(const std::string& bytes)
{
    return runtime::isValidUtf8(bytes) ? runtime::fromUtf8(bytes) : runtime::fromWindows1254(bytes);
}

bool isHidden(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
        return true;
    default:
        return false;
    }
}

bool isBlock(GumboTag tag)
{
    static const std::set<GumboTag> blocks = {
        GUMBO_TAG_P, GUMBO_TAG_DIV, GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5,
        GUMBO_TAG_H6, GUMBO_TAG_LI, GUMBO_TAG_UL, GUMBO_TAG_OL, GUMBO_TAG_TABLE, GUMBO_TAG_TR,
        GUMBO_TAG_PRE, GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_SECTION, GUMBO_TAG_ARTICLE, GUMBO_TAG_HEADER,
        GUMBO_TAG_FOOTER, GUMBO_TAG_FORM, GUMBO_TAG_HR, GUMBO_TAG_DL, GUMBO_TAG_DT, GUMBO_TAG_DD,
        GUMBO_TAG_CENTER, GUMBO_TAG_ADDRESS, GUMBO_TAG_NAV};
    return blocks.count(tag) != 0;
}

class TextCollector {
public:
    void node(const GumboNode* node)
    {
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA) {
            words(node->v.text.text);
        } else if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboTag tag = node->v.element.tag;
            if (isHidden(tag))
                return;
            if (tag == GUMBO_TAG_BR) {
                lineBreak(true);
                return;
            }
            const bool block = isBlock(tag);
            if (block)
                lineBreak(false);
            const GumboVector& children = node->v.element.children;
            for (unsigned i = 0; i < children.length; ++i)
                this->node(static_cast<const GumboNode*>(children.data[i]));
            if (block)
                lineBreak(false);
        }
    }

    std::string text() const
    {
        std::string result = m_text;
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
            result.pop_back();
        return result;
    }

private:
    void words(std::string_view text)
    {
        for (const char c : text) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                m_pendingSpace = !m_text.empty() && !m_atLineStart;
            } else {
                if (m_pendingSpace)
                    m_text += ' ';
                m_pendingSpace = false;
                m_atLineStart = false;
                m_text += c;
            }
        }
    }

    void lineBreak(bool forced)
    {
        m_pendingSpace = false;
        if (m_text.empty() || (m_atLineStart && !forced))
            return;
        m_text += "\r\n";
        m_atLineStart = true;
    }

    std::string m_text;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
};

const GumboNode* findBody(const GumboNode* node)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT)
        return nullptr;
    if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_BODY)
        return node;
    const GumboVector& children =
        node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        if (const GumboNode* body = findBody(static_cast<const GumboNode*>(children.data[i])))
            return body;
    }
    return nullptr;
}

}  // namespace

HtmlText visibleText(const std::string& html)
{
    const std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()),
        [](GumboOutput* parsed) { gumbo_destroy_output(&kGumboDefaultOptions, parsed); });
    if (!output)
        return {};
    const GumboNode* body = findBody(output->document);
    if (!body)
        return {};
    TextCollector collector;
    collector.node(body);
    return {true, collector.text()};
}

namespace {

// A page or text at `url`, whatever the server's status: a reader shows what it is given.
std::optional<std::string> documentAt(inet::Internet& internet, const std::u16string& url,
                                      const inet::WaitCallback& wait)
{
    auto document = inet::readDocument(internet, internet_file::kUserAgent, runtime::toUtf8(url), wait);
    if (!document)
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
    m_bodyText = decodeDocument(text.text);
}

std::u16string HtmlBrowser::DocumentBodyInnerText()
{
    if (!m_hasBody)
        throw runtime::RuntimeError(kObjectNotSet, u"Object variable or With block variable not set");
    return m_bodyText;
}
