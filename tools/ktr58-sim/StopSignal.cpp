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
    return sleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

bool StopSignal::sleepUntil(std::chrono::steady_clock::time_point end) const
{
    using namespace std::chrono;
    while (!requested()) {
        const auto left = duration_cast<nanoseconds>(end - steady_clock::now()).count();
        if (left <= 0)
            return true;
        const timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        pollfd p{fd(), POLLIN, 0};
        ::ppoll(&p, 1, &wait, nullptr);
    }
    return false;
}
