#include "SilenceProxy.h"

#include "LoopbackSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

SilenceProxy::SilenceProxy(int targetPort) : targetPort(targetPort)
{
    listenFd = listenLoopback(listenPort);
    if (listenFd < 0 || ::pipe2(wakeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("SilenceProxy: no loopback listener");
    relayThread = std::thread(&SilenceProxy::relay, this);
}

SilenceProxy::~SilenceProxy()
{
    {
        std::lock_guard lock(mutex);
        quitting = true;
    }
    const char wake = 1;
    (void)!::write(wakeFds[1], &wake, 1);
    relayThread.join();
    ::close(listenFd);
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
}

void SilenceProxy::setSilent(bool on)
{
    std::lock_guard lock(mutex);
    silent = on;
}

int SilenceProxy::requests() const
{
    std::lock_guard lock(mutex);
    return requestCount;
}

bool SilenceProxy::waitRequestsAbove(int count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return requestCount > count; });
}

void SilenceProxy::relay()
{
    int client = -1;
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        if (client < 0 && (::poll(fds, 2, -1) <= 0 || fds[1].revents))
            return;
        if (client < 0)
            client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        serve(client);
        ::close(client);
        client = -1;
        std::lock_guard lock(mutex);
        if (quitting)
            return;
    }
}

// Relays one connection until either side closes it, a newer connection arrives (a master that
// reconnects has given up on this one) or the proxy goes away.
void SilenceProxy::serve(int client)
{
    const int upstream = connectLoopback(targetPort);
    if (upstream < 0)
        return;
    std::vector<uint8_t> pending;
    uint8_t buffer[512];
    for (;;) {
        pollfd fds[4] = {
            {client, POLLIN, 0}, {upstream, POLLIN, 0}, {listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        if (::poll(fds, 4, -1) <= 0 || fds[2].revents || fds[3].revents)
            break;
        if (fds[0].revents) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            pending.insert(pending.end(), buffer, buffer + n);
            // Whole MBAP frames only: each is one request.
            bool relayed = true;
            while (relayed && pending.size() >= 6 && pending.size() >= 6u + (pending[4] << 8 | pending[5])) {
                const size_t frame = 6u + (pending[4] << 8 | pending[5]);
                bool quiet;
                {
                    std::lock_guard lock(mutex);
                    ++requestCount;
                    quiet = silent;
                }
                changed.notify_all();
                relayed = quiet || sendAll(upstream, pending.data(), frame);
                pending.erase(pending.begin(), pending.begin() + static_cast<long>(frame));
            }
            if (!relayed)
                break;
        }
        if (fds[1].revents) {
            const ssize_t n = ::recv(upstream, buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(client, buffer, static_cast<size_t>(n)))
                break;
        }
    }
    ::close(upstream);
}
