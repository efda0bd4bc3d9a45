#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

// Helper programs of the tests: their output, the port a loopback server started on, and
// stopping it by its pid file.

// What a shell command prints on its standard output ("" when it cannot be run).
inline std::string commandOutput(const std::string& command)
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

// Runs a "...-on-loopback" script, which prints the port its server listens on.
inline std::uint16_t startOnLoopback(const std::string& command, const std::string& what)
{
    unsigned port = 0;
    if (std::sscanf(commandOutput(command).c_str(), "%u", &port) != 1 || port == 0 || port > 65535)
        throw std::runtime_error(what + " did not start");
    return static_cast<std::uint16_t>(port);
}

// Stops the process named in `pidFile` with `signal`, and removes its folder.
inline void stopOnLoopback(const std::filesystem::path& pidFile, int signal)
{
    std::ifstream in(pidFile);
    pid_t pid = 0;
    if (in >> pid && pid > 0)
        ::kill(pid, signal);
    std::error_code ignored;
    std::filesystem::remove_all(pidFile.parent_path(), ignored);
}
