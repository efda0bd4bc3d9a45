#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// nginx on a free loopback port serving `root`, for end-to-end tests; stopped on destruction.
// With a certificate and its key (PEM files) it serves HTTPS.
class NginxServer {
public:
    explicit NginxServer(const std::filesystem::path& root, const std::filesystem::path& certificate = {},
                         const std::filesystem::path& key = {});
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }
    // The server's origin: "http://" or "https://", then host().
    std::string origin() const { return (m_tls ? "https://" : "http://") + host(); }

private:
    std::filesystem::path m_work;
    std::uint16_t m_port = 0;
    bool m_tls = false;
};

// Test authorities and certificates made by openssl for this run (make-test-certificates):
// "authority.pem" with "server.pem"/"server.key" for 127.0.0.1, and the same with "other-".
std::filesystem::path testCertificates();
