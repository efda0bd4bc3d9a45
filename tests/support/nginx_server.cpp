#include "tests/support/nginx_server.h"

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

namespace {

std::string output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        ::pclose(pipe);
    }
    return text;
}

}  // namespace

std::filesystem::path testCertificates()
{
    static const std::filesystem::path folder = [] {
        const auto made = std::filesystem::temp_directory_path() / ("test-certificates-" + std::to_string(::getpid()));
        output(std::string(PROJECT_SOURCE_DIR) + "/tests/support/make-test-certificates '" + made.string() + "'");
        if (!std::filesystem::exists(made / "server.pem"))
            throw std::runtime_error("cannot make the test certificates");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::temp_directory_path()
                                            / ("test-certificates-" + std::to_string(::getpid())),
                                        ignored);
        });
        return made;
    }();
    return folder;
}

NginxServer::NginxServer(const std::filesystem::path& root, const std::filesystem::path& certificate,
                         const std::filesystem::path& key)
    : m_work(std::filesystem::temp_directory_path() / ("nginx-test-" + std::to_string(::getpid())))
    , m_tls(!certificate.empty())
{
    const std::string tls = m_tls ? "NGINX_TLS_CERTIFICATE='" + certificate.string() + "' NGINX_TLS_KEY='"
                                        + key.string() + "' "
                                  : std::string();
    const std::string command = tls + std::string(PROJECT_SOURCE_DIR) + "/tests/support/nginx-on-loopback '"
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
