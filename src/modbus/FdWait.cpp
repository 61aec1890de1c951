#include "modbus/FdWait.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t steadyUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int waitForFd(int fd, short events, int timeoutMs, int wakeFd)
{
    return waitForFdUntil(fd, events, steadyUs() + int64_t{timeoutMs} * 1000, wakeFd);
}

int waitForFdUntil(int fd, short events, int64_t deadlineUs, int wakeFd)
{
    for (;;) {
        const int64_t left = std::max<int64_t>(deadlineUs - steadyUs(), 0);
        const timespec wait{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
        // poll ignores entries with a negative descriptor.
        pollfd p[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const int r = ::ppoll(p, 2, &wait, nullptr);
        if (r > 0)
            return p[1].revents != 0 ? kWoken : p[0].revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

WakeSignal::WakeSignal() : eventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

WakeSignal::~WakeSignal()
{
    if (eventFd >= 0)
        ::close(eventFd);
}

void WakeSignal::raise()
{
    const uint64_t one = 1;
    // Saturating the counter still leaves it readable, which is all that counts.
    (void)!::write(eventFd, &one, sizeof one);
}

void WakeSignal::clear()
{
    uint64_t count;
    (void)!::read(eventFd, &count, sizeof count);
}

bool WakeSignal::raised() const
{
    pollfd p{eventFd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}
