#include "LoopbackPeers.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace
{

int boundPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

} // namespace

LibmodbusSlave::LibmodbusSlave(int firstRef, const std::vector<uint16_t> &values)
{
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", 0);
    modbus_mapping_t *map = modbus_mapping_new_start_address(0, 0, 0, 0, static_cast<unsigned>(firstRef - 1),
                                                             static_cast<unsigned>(values.size()), 0, 0);
    for (size_t i = 0; i < values.size(); ++i)
        map->tab_registers[i] = values[i];
    context = ctx;
    mapping = map;
    listenFd = modbus_tcp_listen(ctx, 1);
    if (listenFd < 0)
        throw std::runtime_error("libmodbus cannot listen");
    listenPort = boundPort(listenFd);
    server = std::thread(&LibmodbusSlave::serve, this);
}

LibmodbusSlave::~LibmodbusSlave()
{
    shutdown(listenFd, SHUT_RDWR);
    const int client = clientFd.load();
    if (client >= 0)
        shutdown(client, SHUT_RDWR);
    server.join();
    auto *ctx = static_cast<modbus_t *>(context);
    modbus_close(ctx);
    close(listenFd);
    modbus_mapping_free(static_cast<modbus_mapping_t *>(mapping));
    modbus_free(ctx);
}

void LibmodbusSlave::serve()
{
    auto *ctx = static_cast<modbus_t *>(context);
    int fd = listenFd;
    const int client = modbus_tcp_accept(ctx, &fd);
    if (client < 0)
        return;
    clientFd = client;
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
        const int length = modbus_receive(ctx, query);
        if (length < 0)
            return;
        if (length > 0)
            modbus_reply(ctx, query, length, static_cast<modbus_mapping_t *>(mapping));
    }
}

GatedProxy::GatedProxy(int targetPort) : targetPort(targetPort)
{
    listenFd = listenLoopback(listenPort, 1);
    if (listenFd < 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    if (pipe(wakeFds) != 0)
        throw std::runtime_error("pipe");
    relayThread = std::thread(&GatedProxy::relay, this);
}

GatedProxy::~GatedProxy()
{
    {
        std::lock_guard lock(mutex);
        quitting = true;
    }
    changed.notify_all();
    const char wake = 1;
    (void)!write(wakeFds[1], &wake, 1);
    relayThread.join();
    close(listenFd);
    close(wakeFds[0]);
    close(wakeFds[1]);
}

void GatedProxy::holdRequest(int number)
{
    std::lock_guard lock(mutex);
    holdNumber = number;
}

bool GatedProxy::waitHeld(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [this] { return held; });
}

void GatedProxy::release()
{
    {
        std::lock_guard lock(mutex);
        holdNumber = 0;
    }
    changed.notify_all();
}

// Sends the complete MBAP frames of pending upstream; the held request waits
// (on the relay thread) until release().
bool GatedProxy::forwardRequests(std::vector<uint8_t> &pending, int upstream)
{
    while (pending.size() >= 6) {
        const size_t frame = 6 + (pending[4] << 8 | pending[5]);
        if (pending.size() < frame)
            break;
        {
            std::unique_lock lock(mutex);
            if (++requestsSeen == holdNumber) {
                held = true;
                changed.notify_all();
                changed.wait(lock, [this] { return quitting || holdNumber == 0; });
                held = false;
            }
            if (quitting)
                return false;
        }
        if (!sendAll(upstream, pending.data(), frame))
            return false;
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(frame));
    }
    return true;
}

void GatedProxy::relay()
{
    pollfd accepting[2] = {{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
    if (poll(accepting, 2, -1) <= 0 || !(accepting[0].revents & POLLIN))
        return;
    const int client = accept(listenFd, nullptr, nullptr);
    const int upstream = connectLoopback(targetPort);
    std::vector<uint8_t> pending;
    uint8_t buffer[512];
    bool open = client >= 0 && upstream >= 0;
    while (open) {
        pollfd fds[3] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
        if (poll(fds, 3, -1) <= 0 || fds[2].revents)
            break;
        if (fds[0].revents) {
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            open = n > 0;
            if (open) {
                pending.insert(pending.end(), buffer, buffer + n);
                open = forwardRequests(pending, upstream);
            }
        }
        if (open && fds[1].revents) {
            const ssize_t n = recv(upstream, buffer, sizeof buffer, 0);
            open = n > 0 && sendAll(client, buffer, static_cast<size_t>(n));
        }
    }
    if (client >= 0)
        close(client);
    if (upstream >= 0)
        close(upstream);
}
