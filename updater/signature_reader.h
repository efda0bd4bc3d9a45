#pragma once

#include "platform/inet/internet.h"

#include <optional>
#include <string>

// Reads the signature file that lies beside a program on the update server.
class SignatureReader {
public:
    virtual ~SignatureReader() = default;
    // The file at `url`, when it can be read, the server answers it with success and it holds
    // at most signature::kMaxSignatureFileSize bytes; nullopt otherwise. `wait` runs while the
    // read waits on the network.
    virtual std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback& wait) = 0;
};

// The reader on the network layer and settings of the download control: the system's proxy
// settings and the control's user agent, so that the signature comes the way the program came.
class InternetSignatureReader : public SignatureReader {
public:
    // `internet` must outlive the reader.
    explicit InternetSignatureReader(inet::Internet& internet) : m_internet(internet) {}
    std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback& wait) override;

private:
    inet::Internet& m_internet;
};
