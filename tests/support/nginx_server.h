#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// nginx on a free loopback port serving `root`, for end-to-end tests; stopped on destruction.
class NginxServer {
public:
    explicit NginxServer(const std::filesystem::path& root);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    std::filesystem::path m_work;
    std::uint16_t m_port = 0;
};
