#include "platform/inet/urls_win32.h"

namespace inet {

std::optional<UrlParts> crack(const std::string& url)
{
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (url.empty() || !::InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        || parts.dwHostNameLength == 0)
        return std::nullopt;
    UrlParts cracked;
    cracked.scheme = parts.nScheme;
    cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    cracked.port = parts.nPort;
    cracked.object.assign(parts.lpszUrlPath ? parts.lpszUrlPath : "", parts.dwUrlPathLength);
    cracked.object.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : "", parts.dwExtraInfoLength);
    if (cracked.object.empty())
        cracked.object = "/";
    return cracked;
}

std::optional<std::string> combine(const std::string& base, const std::string& location)
{
    std::string combined(INTERNET_MAX_URL_LENGTH + 1, '\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (!::InternetCombineUrlA(base.c_str(), location.c_str(), combined.data(), &length, ICU_NO_ENCODE))
        return std::nullopt;
    combined.resize(length);
    return combined;
}

std::string urlText(const UrlParts& url)
{
    return std::string(url.scheme == INTERNET_SCHEME_HTTPS ? "https://" : "http://") + url.host + ":"
           + std::to_string(url.port) + url.object;
}

Origin originOf(const UrlParts& url)
{
    return Origin{url.scheme == INTERNET_SCHEME_HTTPS ? "https" : "http", url.host, url.port};
}

}  // namespace inet
