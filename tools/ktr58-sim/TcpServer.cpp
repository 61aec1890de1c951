#include "TcpServer.h"

#include "Log.h"

#include "modbus/ModbusNumbers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <vector>

namespace
{

constexpr size_t mbapLength = modbus::MbapLength;
constexpr int maxMbapLength = 254; // unit identifier + a PDU of at most 253 bytes

struct Connection {
    int fd;
    std::vector<uint8_t> input;
    int replies = 0;
};

int listenOn(const SimOptions &o, int &boundPort)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    // A restarted simulator must get its port back while old connections linger.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(o.tcpPort));
    ::inet_pton(AF_INET, o.tcpHost.c_str(), &addr.sin_addr);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    boundPort = ntohs(addr.sin_port);
    return fd;
}

bool sendAll(int fd, const std::vector<uint8_t> &frame)
{
    size_t sent = 0;
    while (sent < frame.size()) {
        ssize_t n = ::send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Answers every complete request in the connection's input. False when the
// connection is to be closed: a broken header, a failed send, or the
// --close-every count reached.
bool serveInput(Connection &c, const SimOptions &o, Responder &responder, const StopSignal &stop)
{
    for (;;) {
        if (c.input.size() < mbapLength)
            return true;
        const int protocol = c.input[2] << 8 | c.input[3];
        const int length = c.input[4] << 8 | c.input[5];
        if (protocol != 0 || length < 2 || length > maxMbapLength) {
            logLine("not a Modbus TCP request, closing the connection");
            return false;
        }
        const size_t frameLength = 6 + static_cast<size_t>(length);
        if (c.input.size() < frameLength)
            return true;
        std::vector<uint8_t> request(c.input.begin(), c.input.begin() + static_cast<long>(frameLength));
        c.input.erase(c.input.begin(), c.input.begin() + static_cast<long>(frameLength));

        std::optional<Reply> reply =
            responder.respond(request[6], request.data() + mbapLength, frameLength - mbapLength);
        if (!reply)
            continue;
        if (o.delayMs > 0 && !stop.sleep(o.delayMs))
            return false;
        if (reply->corrupt)
            reply->pdu[0] = static_cast<uint8_t>((reply->pdu[0] + 1) & 0x7F); // another function
        // The header echoes the transaction and protocol identifiers.
        const size_t replyLength = reply->pdu.size() + 1;
        std::vector<uint8_t> frame(request.begin(), request.begin() + static_cast<long>(mbapLength));
        frame[4] = static_cast<uint8_t>(replyLength >> 8);
        frame[5] = static_cast<uint8_t>(replyLength);
        frame[6] = reply->unit;
        frame.resize(mbapLength + reply->pdu.size());
        std::copy(reply->pdu.begin(), reply->pdu.end(), frame.begin() + static_cast<long>(mbapLength));
        if (!sendAll(c.fd, frame))
            return false;
        if (o.closeEvery > 0 && ++c.replies % o.closeEvery == 0) {
            logLine("closing the connection after " + std::to_string(c.replies) + " replies");
            return false;
        }
    }
}

void acceptConnection(int listener, std::list<Connection> &connections)
{
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A master that stops reading must not stall the others for long.
    timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    connections.push_back({fd, {}, 0});
    logLine("connection opened");
}

} // namespace

int serveTcp(const SimOptions &o, Responder &responder, const StopSignal &stop)
{
    int port = 0;
    int listener = listenOn(o, port);
    if (listener < 0) {
        std::fprintf(stderr, "ktr58-sim: cannot listen on %s:%d: %s\n", o.tcpHost.c_str(), o.tcpPort,
                     std::strerror(errno));
        return 1;
    }
    std::printf("ktr58-sim: serving tcp %s:%d\n", o.tcpHost.c_str(), port);
    std::fflush(stdout);

    std::list<Connection> connections;
    while (!stop.requested()) {
        std::vector<pollfd> fds{{stop.fd(), POLLIN, 0}, {listener, POLLIN, 0}};
        for (const Connection &c : connections)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        auto p = fds.begin() + 2;
        for (auto c = connections.begin(); c != connections.end(); ++p) {
            bool keep = true;
            if (p->revents != 0) {
                uint8_t buf[512];
                ssize_t n = ::recv(c->fd, buf, sizeof buf, 0);
                if (n > 0) {
                    c->input.insert(c->input.end(), buf, buf + n);
                    keep = serveInput(*c, o, responder, stop);
                } else if (n == 0 || errno != EINTR) {
                    keep = false;
                }
            }
            if (keep) {
                ++c;
                continue;
            }
            ::close(c->fd);
            c = connections.erase(c);
            logLine("connection closed");
        }
        if (fds[1].revents & POLLIN)
            acceptConnection(listener, connections);
    }
    for (Connection &c : connections)
        ::close(c.fd);
    ::close(listener);
    return 0;
}
