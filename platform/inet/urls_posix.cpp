#include "platform/inet/urls_posix.h"

#include "platform/inet/curl_library_posix.h"

#include <charconv>
#include <cstdlib>
#include <memory>

namespace inet {

namespace {

using UrlHandle = std::unique_ptr<CURLU, decltype(CurlLibrary::url_cleanup)>;

std::optional<ParsedUrl> partsOf(CURLU* handle)
{
    const auto part = [&](CURLUPart which, unsigned flags) -> std::optional<std::string> {
        char* text = nullptr;
        if (curl().url_get(handle, which, &text, flags) != CURLUE_OK || !text)
            return std::nullopt;
        std::string value(text);
        curl().free(text);
        return value;
    };
    auto url = part(CURLUPART_URL, 0);
    auto scheme = part(CURLUPART_SCHEME, 0);
    auto host = part(CURLUPART_HOST, 0);
    auto port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!url || !scheme || !host || !port)
        return std::nullopt;
    unsigned number = 0;
    std::from_chars(port->data(), port->data() + port->size(), number);
    return ParsedUrl{std::move(*url), Origin{std::move(*scheme), std::move(*host), static_cast<std::uint16_t>(number)}};
}

}  // namespace

std::optional<ParsedUrl> parseUrl(const std::string& url)
{
    const UrlHandle handle(curl().url(), curl().url_cleanup);
    if (!handle || curl().url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK)
        return std::nullopt;
    return partsOf(handle.get());
}

std::optional<ParsedUrl> resolveUrl(const std::string& base, const std::string& location)
{
    const UrlHandle handle(curl().url(), curl().url_cleanup);
    if (!handle || curl().url_set(handle.get(), CURLUPART_URL, base.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK
        || curl().url_set(handle.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    return partsOf(handle.get());
}

EnvironmentProxy environmentProxy(std::string_view scheme)
{
    // curl itself takes "HTTP_PROXY" in capitals for no one; every other program here does.
    const auto variable = [](const char* lower, const char* upper) {
        for (const char* name : {lower, upper}) {
            if (const char* value = std::getenv(name); value && *value)
                return std::string(value);
        }
        return std::string();
    };
    EnvironmentProxy named{scheme == "https" ? variable("https_proxy", "HTTPS_PROXY")
                                             : variable("http_proxy", "HTTP_PROXY"),
                           variable("no_proxy", "NO_PROXY"), std::nullopt, std::nullopt};
    const UrlHandle handle(curl().url(), curl().url_cleanup);
    if (named.proxy.empty() || !handle
        || curl().url_set(handle.get(), CURLUPART_URL, named.proxy.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK)
        return named;  // no URL of a proxy: curl reads it as it is
    const auto part = [&](CURLUPart which) -> std::optional<std::string> {
        char* text = nullptr;
        if (curl().url_get(handle.get(), which, &text, CURLU_URLDECODE) != CURLUE_OK || !text)
            return std::nullopt;
        std::string value(text);
        curl().free(text);
        return value;
    };
    named.user = part(CURLUPART_USER);
    if (!named.user)
        return named;
    named.password = part(CURLUPART_PASSWORD);
    char* bare = nullptr;
    if (curl().url_set(handle.get(), CURLUPART_USER, nullptr, 0) != CURLUE_OK
        || curl().url_set(handle.get(), CURLUPART_PASSWORD, nullptr, 0) != CURLUE_OK
        || curl().url_get(handle.get(), CURLUPART_URL, &bare, 0) != CURLUE_OK || !bare)
        return {};  // credentials that cannot be taken out are sent to no one
    named.proxy = bare;
    curl().free(bare);
    return named;
}

}  // namespace inet
