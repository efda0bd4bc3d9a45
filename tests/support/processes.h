#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

// Helper programs of the tests: their output, and the port a loopback server started on.

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
