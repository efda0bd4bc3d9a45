#include "tests/support/loopback_process.h"

#include "tests/support/processes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kStopLimitMilliseconds = 30'000;

// Waits for a process that need not be our child to end: its pidfd turns readable then.
bool stopAndWait(int pid, int signal)
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return errno == ESRCH;  // already gone
    ::kill(pid, signal);
    pollfd gone{pidfd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&gone, 1, kStopLimitMilliseconds);
    } while (ready < 0 && errno == EINTR);
    if (ready != 1) {
        ::kill(pid, SIGKILL);
        ::poll(&gone, 1, kStopLimitMilliseconds);
    }
    ::close(pidfd);
    return ready == 1;
}

}  // namespace

LoopbackProcess::LoopbackProcess(const std::string& what,
                                 const std::function<std::string(const std::string& folder)>& command,
                                 const std::string& pidFile, int stopSignal)
    : m_what(what), m_stopSignal(stopSignal)
{
    std::string folder = (std::filesystem::temp_directory_path() / (what + "-test-XXXXXX")).string();
    if (!::mkdtemp(folder.data()))
        throw std::runtime_error("cannot make a folder for " + what);
    m_folder = folder;
    try {
        m_port = startOnLoopback(command(folder), what);
        std::ifstream(m_folder / pidFile) >> m_pid;
        if (m_pid <= 0)
            throw std::runtime_error(what + " left no process id");
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        throw;
    }
}

LoopbackProcess::~LoopbackProcess()
{
    if (!stopAndWait(m_pid, m_stopSignal))
        ADD_FAILURE() << m_what << " (pid " << m_pid << ") did not stop and was killed";
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}
