#include "updater/html_text.h"

#include "platform/runtime/text.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string_view>
#include <vector>

namespace {

bool named(const xmlNode* node, std::initializer_list<std::string_view> names)
{
    const std::string_view name = reinterpret_cast<const char*>(node->name);
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isHidden(const xmlNode* element)
{
    return named(element, {"script", "style", "noscript", "template", "head", "title"});
}

bool isBlock(const xmlNode* element)
{
    return named(element, {"p",      "div",  "h1",    "h2", "h3",  "h4",         "h5",      "h6",      "li",
                           "ul",     "ol",   "table", "tr", "pre", "blockquote", "section", "article", "header",
                           "footer", "form", "hr",    "dl", "dt",  "dd",         "center",  "address", "nav"});
}

class TextCollector {
public:
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

    std::string text() const
    {
        std::string result = m_text;
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
            result.pop_back();
        return result;
    }

private:
    std::string m_text;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
};

// Walks the tree below `body` in document order without recursion: an element is entered,
// its children visited, and left again, each step from the node's own links.
std::string collect(const xmlNode* body)
{
    TextCollector collector;
    const xmlNode* node = body->children;
    while (node && node != body) {
        bool enter = false;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content)
                collector.words(reinterpret_cast<const char*>(node->content));
        } else if (node->type == XML_ELEMENT_NODE && !isHidden(node)) {
            if (named(node, {"br"})) {
                collector.lineBreak(true);
            } else {
                if (isBlock(node))
                    collector.lineBreak(false);
                enter = node->children != nullptr;
                if (!enter && isBlock(node))
                    collector.lineBreak(false);
            }
        }
        if (enter) {
            node = node->children;
            continue;
        }
        // Leave every element whose last child this was, then go on with the next sibling.
        while (node != body && !node->next) {
            node = node->parent;
            if (node != body && isBlock(node))
                collector.lineBreak(false);
        }
        if (node != body)
            node = node->next;
    }
    return collector.text();
}

const xmlNode* childNamed(const xmlNode* parent, std::string_view name)
{
    for (const xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && named(child, {name}))
            return child;
    }
    return nullptr;
}

// True when no element lies kMaxHtmlDepth deep (the root at depth 1): the parser stops at that
// depth, so a page that reaches it was cut short. Walks without recursion, as collect() does.
bool withinDepth(const xmlNode* root)
{
    std::size_t depth = 1;  // of `node`
    const xmlNode* node = root;
    for (;;) {
        if (node->type == XML_ELEMENT_NODE) {
            if (depth >= kMaxHtmlDepth)
                return false;
            if (node->children) {
                node = node->children;
                ++depth;
                continue;
            }
        }
        while (node != root && !node->next) {
            node = node->parent;
            --depth;
        }
        if (node == root)
            return true;
        node = node->next;
    }
}

}  // namespace

HtmlText visibleText(const std::string& html)
{
    // libxml2 is given UTF-8 alone: a page in the Turkish code page is converted first, and
    // what its own markup says of its encoding is not taken.
    const std::string utf8 = runtime::isValidUtf8(html) ? html : runtime::toUtf8(runtime::fromWindows1254(html));
    if (utf8.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    const std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> document(
        htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                       HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC
                           | HTML_PARSE_COMPACT),
        xmlFreeDoc);
    const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
    if (!root)
        return utf8.find_first_not_of(" \t\r\n\f") == std::string::npos ? HtmlText{true, {}} : HtmlText{};
    if (!withinDepth(root))
        return {};
    // A browser's document always has a body, if an empty one.
    const xmlNode* body = childNamed(root, "body");
    return {true, body ? collect(body) : std::string()};
}
