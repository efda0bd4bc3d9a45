#include "tests/support/tinyproxy.h"

#include "tests/support/processes.h"

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

TinyProxy::TinyProxy(const std::string& user, const std::string& password)
    : m_work(std::filesystem::temp_directory_path() / ("tinyproxy-test-" + std::to_string(::getpid())))
{
    const std::string command = std::string(PROJECT_SOURCE_DIR) + "/tests/support/tinyproxy-on-loopback '"
                                + m_work.string() + "'" + (user.empty() ? "" : " '" + user + "' '" + password + "'");
    m_port = startOnLoopback(command, "tinyproxy");
}

TinyProxy::~TinyProxy()
{
    stopOnLoopback(m_work / "tinyproxy.pid", SIGTERM);
}
