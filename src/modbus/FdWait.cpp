#include "modbus/FdWait.h"

#include <cerrno>
#include <chrono>
#include <poll.h>

int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int waitForFd(int fd, short events, int timeoutMs)
{
    const int64_t deadline = steadyMs() + timeoutMs;
    int left = timeoutMs;
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, left);
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -1;
        const int64_t rest = deadline - steadyMs();
        left = rest > 0 ? static_cast<int>(rest) : 0;
    }
}
