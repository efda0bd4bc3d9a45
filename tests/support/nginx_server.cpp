#include "tests/support/nginx_server.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

NginxServer::NginxServer(const std::filesystem::path& root)
    : m_work(std::filesystem::temp_directory_path() / ("nginx-test-" + std::to_string(::getpid())))
{
    const std::string command = std::string(PROJECT_SOURCE_DIR) + "/tests/support/nginx-on-loopback '"
                                + root.string() + "' '" + m_work.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start nginx");
    unsigned port = 0;
    const int read = std::fscanf(pipe, "%u", &port);
    ::pclose(pipe);
    if (read != 1 || port == 0)
        throw std::runtime_error("nginx did not start");
    m_port = static_cast<std::uint16_t>(port);
}

NginxServer::~NginxServer()
{
    std::ifstream pidFile(m_work / "nginx.pid");
    pid_t pid = 0;
    if (pidFile >> pid && pid > 0)
        ::kill(pid, SIGQUIT);
    std::error_code ignored;
    std::filesystem::remove_all(m_work, ignored);
}
