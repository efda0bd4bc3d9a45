#include "platform/inet/document_reader.h"

#include <array>
#include <charconv>

namespace inet {

namespace {

// Closes a handle when it goes out of scope.
class Closing {
public:
    Closing(Internet& internet, Handle handle) : m_internet(internet), m_handle(handle) {}
    ~Closing() { m_internet.closeHandle(m_handle); }
    Closing(const Closing&) = delete;
    Closing& operator=(const Closing&) = delete;
    Handle get() const { return m_handle; }

private:
    Internet& m_internet;
    Handle m_handle;
};

std::optional<std::uint32_t> statusOf(Internet& internet, Handle file)
{
    std::array<char, 16> text{};
    std::uint32_t length = text.size();
    std::uint32_t index = 0;
    std::uint32_t status = 0;
    if (!internet.queryInfo(file, kQueryStatusCode, text, length, index))
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + length, status);
    if (error != std::errc() || end != text.data() + length)
        return std::nullopt;
    return status;
}

}  // namespace

std::optional<Document> readDocument(Internet& internet, const std::string& agent, const std::string& url,
                                     const WaitCallback& wait, const DocumentLimits& limits)
{
    const Closing session(internet, internet.openSession(agent, kOpenTypePreconfig, std::nullopt, std::nullopt, 0));
    if (session.get() == 0)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    internet.setWaitCallback(session.get(),
                             [&] { return std::chrono::steady_clock::now() < deadline && (!wait || wait()); });
    const Closing file(internet, internet.openUrl(session.get(), url, std::nullopt, kFlagReload, 0));
    if (file.get() == 0)
        return std::nullopt;
    Document document;
    const auto status = statusOf(internet, file.get());
    if (!status)
        return std::nullopt;
    document.status = *status;
    std::array<std::byte, 16 * 1024> chunk{};
    for (;;) {
        std::uint32_t count = 0;
        if (!internet.readFile(file.get(), chunk, count) || document.body.size() + count > limits.size)
            return std::nullopt;
        if (count == 0)
            return document;
        document.body.append(reinterpret_cast<const char*>(chunk.data()), count);
    }
}

}  // namespace inet
