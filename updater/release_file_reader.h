#pragma once

#include "platform/inet/internet.h"

#include <cstddef>
#include <optional>
#include <string>

// The small files that lie beside a program on the update server: its signature, and the list
// of the other forms its release is published in (delta::Index).
inline constexpr std::size_t kMaxReleaseFileSize = 4096;

class ReleaseFileReader {
public:
    virtual ~ReleaseFileReader() = default;
    // The file at `url`, when it can be read, the server answers it with success and it holds
    // at most kMaxReleaseFileSize bytes; nullopt otherwise. `wait` runs while the read waits on
    // the network.
    virtual std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback& wait) = 0;
};

// The reader on the network layer and settings of the download control: the system's proxy
// settings and the control's user agent, so that these files come the way the program comes.
class InternetReleaseFileReader : public ReleaseFileReader {
public:
    // `internet` must outlive the reader.
    explicit InternetReleaseFileReader(inet::Internet& internet) : m_internet(internet) {}
    std::optional<std::string> read(const std::u16string& url, const inet::WaitCallback& wait) override;

private:
    inet::Internet& m_internet;
};
