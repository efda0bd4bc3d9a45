#pragma once

#include "tests/support/loopback_process.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// nginx on a free loopback port serving `root`, for end-to-end tests; stopped on destruction.
// With a certificate and its key (PEM files) it serves HTTPS; `serverConfig` adds directives to
// its server block.
class NginxServer {
public:
    explicit NginxServer(const std::filesystem::path& root, const std::filesystem::path& certificate = {},
                         const std::filesystem::path& key = {}, const std::string& serverConfig = {});

    std::uint16_t port() const { return m_process.port(); }
    std::string host() const { return "127.0.0.1:" + std::to_string(port()); }
    // The server's origin: "http://" or "https://", then host().
    std::string origin() const { return (m_tls ? "https://" : "http://") + host(); }

private:
    bool m_tls = false;
    LoopbackProcess m_process;
};

// Test authorities and certificates made by openssl for this run (make-test-certificates):
// "authority.pem" with "server.pem"/"server.key" for 127.0.0.1, and the same with "other-".
std::filesystem::path testCertificates();
