#include "platform/inet/http_fetch.h"

#include "platform/inet/curl_internet.h"
#include "platform/inet/curl_transfer.h"

#include <memory>

namespace inet {

namespace {

struct Sink {
    std::string text;
    std::size_t limit;
    bool overflow = false;

    static std::size_t append(char* data, std::size_t size, std::size_t count, void* self)
    {
        auto* sink = static_cast<Sink*>(self);
        const std::size_t bytes = size * count;
        if (sink->text.size() + bytes > sink->limit) {
            sink->overflow = true;
            return 0;  // ends the transfer with an error
        }
        sink->text.append(data, bytes);
        return bytes;
    }
};

}  // namespace

std::optional<std::string> fetchDocument(const std::string& url, std::chrono::milliseconds timeLimit,
                                         std::size_t sizeLimit)
{
    ensureCurlInitialised();
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
    if (!easy)
        return std::nullopt;
    const std::string cleaned = cleanUrl(url);
    Sink sink{{}, sizeLimit};
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, cleaned.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(timeLimit.count()));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Sink::append);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink);
    if (curl_easy_perform(e) != CURLE_OK || sink.overflow)
        return std::nullopt;
    return std::move(sink.text);
}

}  // namespace inet
