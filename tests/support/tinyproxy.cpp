#include "tests/support/tinyproxy.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

TinyProxy::TinyProxy(const std::string& user, const std::string& password)
    : m_work(std::filesystem::temp_directory_path() / ("tinyproxy-test-" + std::to_string(::getpid())))
{
    const std::string command = std::string(PROJECT_SOURCE_DIR) + "/tests/support/tinyproxy-on-loopback '"
                                + m_work.string() + "'" + (user.empty() ? "" : " '" + user + "' '" + password + "'");
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start tinyproxy");
    unsigned port = 0;
    const int read = std::fscanf(pipe, "%u", &port);
    ::pclose(pipe);
    if (read != 1 || port == 0)
        throw std::runtime_error("tinyproxy did not start");
    m_port = static_cast<std::uint16_t>(port);
}

TinyProxy::~TinyProxy()
{
    std::ifstream pidFile(m_work / "tinyproxy.pid");
    pid_t pid = 0;
    if (pidFile >> pid && pid > 0)
        ::kill(pid, SIGTERM);
    std::error_code ignored;
    std::filesystem::remove_all(m_work, ignored);
}
