#include "updater/release_file_reader.h"

#include "download/internet_file_dispatch.h"
#include "platform/inet/document_reader.h"
#include "platform/runtime/text.h"

std::optional<std::string> InternetReleaseFileReader::read(const std::u16string& url, const inet::WaitCallback& wait)
{
    auto document = inet::readDocument(m_internet, internet_file::kUserAgent, runtime::toAnsi(url), wait,
                                       {inet::DocumentLimits{}.time, kMaxReleaseFileSize});
    // An error page is no such file, whatever it holds.
    if (!document || document->status < 200 || document->status > 299)
        return std::nullopt;
    return std::move(document->body);
}
