#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackListener::LoopbackListener()
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) != 0)
        return;
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
