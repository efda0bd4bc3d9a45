#include "updater/signature_reader.h"

#include "download/internet_file_interface.h"
#include "platform/inet/document_reader.h"
#include "platform/runtime/text.h"
#include "updater/signature.h"

std::optional<std::string> InternetSignatureReader::read(const std::u16string& url, const inet::WaitCallback& wait)
{
    auto document = inet::readDocument(m_internet, internet_file::kUserAgent, runtime::toAnsi(url), wait,
                                       {inet::DocumentLimits{}.time, signature::kMaxSignatureFileSize});
    // An error page is no signature, whatever it holds.
    if (!document || document->status < 200 || document->status > 299)
        return std::nullopt;
    return std::move(document->body);
}
