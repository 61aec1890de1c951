#include "FuzzPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr int kWriteWaitMs = 1000;
constexpr auto kSettleWait = std::chrono::milliseconds(200);
constexpr size_t kLongestRequest = 600; // far beyond any request the master makes

[[noreturn]] void fail(const char *what)
{
    std::perror(what);
    std::abort();
}

void writeAll(int fd, const std::vector<uint8_t> &bytes, bool socket)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                 : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        pollfd p{fd, POLLOUT, 0};
        if (w < 0 && errno == EAGAIN && ::poll(&p, 1, kWriteWaitMs) == 1 && (p.revents & POLLOUT))
            continue;
        return; // the master went away; what it missed is its own business
    }
}

} // namespace

FuzzPeer::FuzzPeer(Framing framing) : link(framing)
{
    wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0)
        fail("eventfd");
    if (link == Framing::Rtu) {
        linkFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (linkFd < 0 || ::grantpt(linkFd) != 0 || ::unlockpt(linkFd) != 0)
            fail("posix_openpt");
        slavePath = ::ptsname(linkFd);
        // Held open so that the line never hangs up, even while the master has it closed.
        holdFd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (holdFd < 0 || ::tcgetattr(holdFd, &t) != 0)
            fail("pty slave");
        ::cfmakeraw(&t);
        ::tcsetattr(holdFd, TCSANOW, &t);
    } else {
        listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listenFd, 8) != 0 ||
            ::getsockname(listenFd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            fail("listen on 127.0.0.1");
        listenPort = ntohs(address.sin_port);
    }
    thread = std::thread(&FuzzPeer::run, this);
}

FuzzPeer::~FuzzPeer()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    const uint64_t one = 1;
    if (::write(wakeFd, &one, sizeof one) != sizeof one)
        fail("eventfd write");
    thread.join();
    for (int fd : {linkFd, holdFd, listenFd, wakeFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void FuzzPeer::script(std::vector<PeerReply> replies)
{
    std::lock_guard lock(mutex);
    pending.assign(replies.begin(), replies.end());
}

std::vector<FuzzPeer::Exchange> FuzzPeer::settle(size_t requests)
{
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, kSettleWait, [this, requests] { return idle() && log.size() >= requests; }))
        received.clear(); // the rest of a request that never came
    pending.clear();
    std::vector<Exchange> done;
    done.swap(log);
    return done;
}

bool FuzzPeer::idle() const
{
    int unread = 0;
    if (!received.empty() || (linkFd >= 0 && ::ioctl(linkFd, FIONREAD, &unread) == 0 && unread > 0))
        return false;
    // A connection not accepted yet may hold a request too.
    pollfd p{listenFd, POLLIN, 0};
    return listenFd < 0 || ::poll(&p, 1, 0) == 0;
}

void FuzzPeer::dropConnection()
{
    if (link == Framing::Tcp && linkFd >= 0) {
        ::shutdown(linkFd, SHUT_RDWR);
        ::close(linkFd);
        linkFd = -1;
    }
    received.clear();
}

void FuzzPeer::answer(std::vector<uint8_t> request)
{
    Exchange exchange;
    exchange.request = std::move(request);
    const bool broadcast = link == Framing::Rtu && requestUnit(link, exchange.request) == 0;
    if (!broadcast && !pending.empty()) {
        const PeerReply reply = pending.front();
        pending.pop_front();
        exchange.reply = reply.frame(link, exchange.request);
        writeAll(linkFd, exchange.reply, link == Framing::Tcp);
        if (reply.hangUp && link == Framing::Tcp) {
            dropConnection();
            exchange.hungUp = true;
        }
    }
    log.push_back(std::move(exchange));
}

void FuzzPeer::readLink()
{
    uint8_t chunk[512];
    while (linkFd >= 0) {
        const ssize_t r = ::read(linkFd, chunk, sizeof chunk);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno == EAGAIN)
            return;
        if (r <= 0) {
            if (link == Framing::Rtu)
                fail("pty read"); // cannot happen while the slave side is held open
            dropConnection();
            return;
        }
        received.insert(received.end(), chunk, chunk + r);
        for (;;) {
            size_t length = static_cast<size_t>(requestLength(link, received));
            if (length > kLongestRequest)
                length = received.size();
            if (length == 0 || received.size() < length)
                break;
            const auto end = received.begin() + static_cast<std::ptrdiff_t>(length);
            std::vector<uint8_t> request(received.begin(), end);
            received.erase(received.begin(), end);
            answer(std::move(request)); // may hang up
        }
    }
}

void FuzzPeer::run()
{
    for (;;) {
        pollfd fds[3] = {{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}, {-1, POLLIN, 0}};
        {
            std::lock_guard lock(mutex);
            fds[2].fd = linkFd;
        }
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            fail("poll");
        }
        std::lock_guard lock(mutex);
        if (stopping)
            return;
        if (fds[2].revents != 0 && fds[2].fd == linkFd)
            readLink();
        if (fds[1].revents & POLLIN) {
            const int connection = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (connection >= 0) {
                // The master has left the old connection for this one, after
                // whatever it sent there, so that is answered (and logged) first.
                readLink();
                dropConnection();
                linkFd = connection;
            }
        }
        changed.notify_all();
    }
}
