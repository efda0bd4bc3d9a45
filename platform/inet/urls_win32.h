#pragma once

#include "platform/inet/transfer_rules.h"

#include <windows.h>
#include <wininet.h>

#include <optional>
#include <string>

// URLs as WinINet reads them, for the WinINet layer's requests and redirections.
namespace inet {

struct UrlParts {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::string host;
    INTERNET_PORT port = 0;
    std::string object;  // path and query
};

// The parts of an HTTP or HTTPS URL; nullopt for any other text.
std::optional<UrlParts> crack(const std::string& url);
// The absolute URL that a Location names, relative to `base`.
std::optional<std::string> combine(const std::string& base, const std::string& location);
// The URL of `url`'s parts, its port always written.
std::string urlText(const UrlParts& url);
// The redirection rules' view of a URL.
Origin originOf(const UrlParts& url);

}  // namespace inet
