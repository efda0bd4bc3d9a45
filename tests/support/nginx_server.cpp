#include "tests/support/nginx_server.h"

#include "tests/support/processes.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

std::filesystem::path testCertificates()
{
    static const std::filesystem::path folder = [] {
        const auto made = std::filesystem::temp_directory_path() / ("test-certificates-" + std::to_string(::getpid()));
        commandOutput(std::string(PROJECT_SOURCE_DIR) + "/tests/support/make-test-certificates '" + made.string()
                      + "'");
        if (!std::filesystem::exists(made / "server.pem"))
            throw std::runtime_error("cannot make the test certificates");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(
                std::filesystem::temp_directory_path() / ("test-certificates-" + std::to_string(::getpid())), ignored);
        });
        return made;
    }();
    return folder;
}

NginxServer::NginxServer(const std::filesystem::path& root, const std::filesystem::path& certificate,
                         const std::filesystem::path& key, const std::string& serverConfig)
    : m_tls(!certificate.empty())
    , m_process(
          "nginx",
          [&](const std::string& folder) {
              const std::string tls = certificate.empty() ? std::string()
                                                          : "NGINX_TLS_CERTIFICATE='" + certificate.string()
                                                                + "' NGINX_TLS_KEY='" + key.string() + "' ";
              return tls + "NGINX_SERVER_CONFIG='" + serverConfig + "' " + std::string(PROJECT_SOURCE_DIR)
                     + "/tests/support/nginx-on-loopback '" + root.string() + "' '" + folder + "'";
          },
          "nginx.pid", SIGQUIT)
{
}
