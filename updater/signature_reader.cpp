#include "updater/signature_reader.h"

#include "download/internet_file_interface.h"
#include "platform/runtime/text.h"
#include "updater/signature.h"

#include <array>

std::optional<std::string> InternetSignatureReader::read(const std::u16string& url, const inet::WaitCallback& wait)
{
    const inet::Handle session =
        m_internet.openSession(internet_file::kUserAgent, inet::kOpenTypePreconfig, std::nullopt, std::nullopt, 0);
    if (session == 0)
        return std::nullopt;
    m_internet.setWaitCallback(session, wait);
    std::optional<std::string> contents;
    if (const inet::Handle file = m_internet.openUrl(session, runtime::toUtf8(url), std::nullopt, 0, 0)) {
        std::string text;
        std::array<std::byte, 2048> chunk{};
        for (;;) {
            std::uint32_t count = 0;
            if (!m_internet.readFile(file, chunk, count) || text.size() + count > signature::kMaxSignatureFileSize)
                break;
            if (count == 0) {
                contents = std::move(text);
                break;
            }
            text.append(reinterpret_cast<const char*>(chunk.data()), count);
        }
    }
    m_internet.closeHandle(session);
    return contents;
}
