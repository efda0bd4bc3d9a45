#pragma once

#include <cstddef>
#include <string>

// The visible text of an HTML document's body, as a browser shows it: text outside scripts,
// styles and other hidden elements, blanks collapsed, block elements on lines of their own
// (UTF-8). The page's bytes are UTF-8 when they are valid UTF-8, Windows-1254 otherwise.
//
// A page with elements nested kMaxHtmlDepth deep (the root counting as 1) has no body to read
// (`hasBody` false): the parser stops there, so that any page comes to an answer in bounded
// time, memory and stack.
inline constexpr std::size_t kMaxHtmlDepth = 256;

struct HtmlText {
    bool hasBody = false;  // false when the page could not be read
    std::string text;
};
HtmlText visibleText(const std::string& html);
