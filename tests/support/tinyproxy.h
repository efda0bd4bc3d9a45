#pragma once

#include "tests/support/loopback_process.h"

#include <cstdint>
#include <string>

// tinyproxy on a free loopback port; with a user and password it asks every client for them.
// Stopped on destruction.
class TinyProxy {
public:
    explicit TinyProxy(const std::string& user = {}, const std::string& password = {});

    std::uint16_t port() const { return m_process.port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }

private:
    LoopbackProcess m_process;
};
