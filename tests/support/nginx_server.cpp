#include "tests/support/nginx_server.h"

#include "tests/support/processes.h"

#include <cstdlib>

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

std::filesystem::path testCertificates()
{
    static const std::filesystem::path folder = [] {
        const auto made = std::filesystem::temp_directory_path() / ("test-certificates-" + std::to_string(::getpid()));
        commandOutput(std::string(PROJECT_SOURCE_DIR) + "/tests/support/make-test-certificates '" + made.string() + "'");
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
    m_port = startOnLoopback(command, "nginx");
}

NginxServer::~NginxServer()
{
    stopOnLoopback(m_work / "nginx.pid", SIGQUIT);
}
