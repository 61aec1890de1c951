#include "StopSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace
{

int pipeFds[2] = {-1, -1};
volatile sig_atomic_t stopRequested = 0;

void onSignal(int)
{
    int saved = errno;
    stopRequested = 1;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &c, 1);
    errno = saved;
}

} // namespace

StopSignal::StopSignal()
{
    if (pipeFds[0] >= 0)
        return;
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

int StopSignal::fd() const
{
    return pipeFds[0];
}

bool StopSignal::requested() const
{
    return stopRequested != 0;
}

bool StopSignal::sleep(int ms) const
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (!requested()) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return true;
        pollfd p{fd(), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
    return false;
}
