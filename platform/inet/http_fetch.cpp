#include "platform/inet/http_fetch.h"

#include "platform/inet/curl_internet.h"
#include "platform/inet/curl_transfer.h"

#include <array>

namespace inet {

std::optional<std::string> fetchDocument(const std::string& url, const WaitCallback& wait, const TlsTrust& trust,
                                         std::chrono::milliseconds timeLimit, std::size_t sizeLimit)
{
    TransferSettings settings;
    settings.totalLimit = timeLimit;
    settings.wait = wait;
    settings.trust = trust;
    CurlTransfer transfer(cleanUrl(url), settings, kDefaultTimeouts);
    if (!transfer.waitForHeaders())
        return std::nullopt;
    std::string document;
    std::array<std::byte, 16 * 1024> chunk{};
    for (;;) {
        std::size_t count = 0;
        if (!transfer.read(chunk, count) || document.size() + count > sizeLimit)
            return std::nullopt;
        if (count == 0)
            return document;
        document.append(reinterpret_cast<const char*>(chunk.data()), count);
    }
}

}  // namespace inet
