#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

// A listening socket on 127.0.0.1 with an ephemeral port; false when any step fails.
bool listenOnLoopback(int &fd, int backlog, sockaddr_in &address)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    return fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
           ::listen(fd, backlog) == 0 &&
           ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0;
}

} // namespace

LoopbackListener::LoopbackListener()
{
    sockaddr_in a;
    if (listenOnLoopback(fd, 16, a))
        boundPort = ntohs(a.sin_port);
}

LoopbackListener::~LoopbackListener()
{
    close();
}

int LoopbackListener::accept(int ms)
{
    pollfd p{fd, POLLIN, 0};
    if (fd < 0 || ::poll(&p, 1, ms) <= 0)
        return -1;
    return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
}

void LoopbackListener::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

FullLoopbackListener::FullLoopbackListener()
{
    sockaddr_in a;
    if (!listenOnLoopback(fd, 0, a))
        return;
    // Connect until one is left hanging: the queue is then full.
    for (int i = 0; i < 8; ++i) {
        const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        fillers.push_back(c);
        pollfd p{c, POLLOUT, 0};
        if (::connect(c, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 && ::poll(&p, 1, 200) == 0) {
            boundPort = ntohs(a.sin_port);
            return;
        }
    }
}

FullLoopbackListener::~FullLoopbackListener()
{
    for (int c : fillers)
        ::close(c);
    if (fd >= 0)
        ::close(fd);
}

std::vector<uint8_t> readBytes(int fd, size_t n, int ms)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::vector<uint8_t> bytes;
    uint8_t chunk[512];
    while (bytes.size() < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0 || !(p.revents & POLLIN))
            break;
        const ssize_t r = ::read(fd, chunk, std::min(sizeof chunk, n - bytes.size()));
        if (r <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + r);
    }
    return bytes;
}

void writeBytes(int fd, const std::vector<uint8_t> &bytes)
{
    (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}
