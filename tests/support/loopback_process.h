#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// A server that a "...-on-loopback" script starts for a test: in a folder of its own (made
// fresh, so that two servers of one test never share a pid file), stopped by its own process
// id. The script prints the port and leaves the server's pid in `pidFile` within the folder.
class LoopbackProcess {
public:
    // Runs the shell command that `command` makes of the folder's path; throws
    // std::runtime_error naming `what` when the server does not start.
    LoopbackProcess(const std::string& what, const std::function<std::string(const std::string& folder)>& command,
                    const std::string& pidFile, int stopSignal);
    // Stops the server and waits for it to be gone; a server that does not end within a limit
    // is killed, and the running test fails.
    ~LoopbackProcess();
    LoopbackProcess(const LoopbackProcess&) = delete;
    LoopbackProcess& operator=(const LoopbackProcess&) = delete;

    std::uint16_t port() const { return m_port; }
    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::string m_what;
    std::filesystem::path m_folder;
    int m_pid = 0;
    int m_stopSignal;
    std::uint16_t m_port = 0;
};
