#include "tests/support/tinyproxy.h"

#include <csignal>

#ifndef PROJECT_SOURCE_DIR
#error "PROJECT_SOURCE_DIR must name the source tree"
#endif

TinyProxy::TinyProxy(const std::string& user, const std::string& password)
    : m_process(
        "tinyproxy",
        [&](const std::string& folder) {
            return std::string(PROJECT_SOURCE_DIR) + "/tests/support/tinyproxy-on-loopback '" + folder + "'"
                   + (user.empty() ? "" : " '" + user + "' '" + password + "'");
        },
        "tinyproxy.pid", SIGTERM)
{
}
