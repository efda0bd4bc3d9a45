#pragma once

#include "platform/inet/transfer_rules.h"

#include <optional>
#include <string>
#include <string_view>

// What libcurl reads of a URL, and the proxies the environment names for it.
namespace inet {

// A URL as curl's own URL parser reads it (scheme guessed as curl guesses it when there is
// none): what every decision on schemes, hosts and proxies is taken from, never the text.
struct ParsedUrl {
    std::string url;  // normalised
    Origin origin;    // scheme in lower case, the scheme's default port when none is written
};
std::optional<ParsedUrl> parseUrl(const std::string& url);
// The URL a redirect's Location leads to from `base` (relative references resolved).
std::optional<ParsedUrl> resolveUrl(const std::string& base, const std::string& location);

// The proxy that the environment names for URLs of `scheme` ("http_proxy", "https_proxy", and
// "no_proxy" for hosts that are reached directly; lower case first, then upper case), as curl
// takes a proxy: "" for none. Credentials written in the proxy's URL are taken out of it, to be
// offered to the proxy by whatever scheme it asks for (curl would send them as Basic alone).
struct EnvironmentProxy {
    std::string proxy;
    std::string noProxy;
    std::optional<std::string> user;
    std::optional<std::string> password;
};
EnvironmentProxy environmentProxy(std::string_view scheme);

}  // namespace inet
