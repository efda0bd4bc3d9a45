#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// tinyproxy on a free loopback port; with a user and password it asks every client for them.
// Stopped on destruction.
class TinyProxy {
public:
    explicit TinyProxy(const std::string& user = {}, const std::string& password = {});
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    std::uint16_t port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    std::filesystem::path m_work;
    std::uint16_t m_port = 0;
};
