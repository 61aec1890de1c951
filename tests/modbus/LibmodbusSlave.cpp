#include "LibmodbusSlave.h"

#include "LoopbackPeer.h"
#include "PtyPair.h"

#include <arpa/inet.h>
#include <cerrno>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr int kStopCheckMs = 20;

// Serves requests on ctx until its descriptor fails or stop is set.
void serve(modbus_t *ctx, modbus_mapping_t *mapping, const std::atomic<bool> &stop)
{
    uint8_t query[MODBUS_MAX_ADU_LENGTH];
    modbus_set_indication_timeout(ctx, 0, kStopCheckMs * 1000);
    while (!stop) {
        const int rc = modbus_receive(ctx, query);
        if (rc > 0)
            modbus_reply(ctx, query, rc, mapping);
        else if (rc < 0 && errno != ETIMEDOUT && errno != EMBBADCRC)
            return;
    }
}

} // namespace

LibmodbusSlave::LibmodbusSlave()
{
    mapping = modbus_mapping_new_start_address(0, 0, 0, 0, 0, Registers, 0, 0);
}

LibmodbusSlave::~LibmodbusSlave()
{
    stop = true;
    if (server.joinable())
        server.join();
    if (relayer.joinable())
        relayer.join();
    if (ctx) {
        if (pty) // TCP connections are closed by serveTcp itself
            modbus_close(ctx);
        modbus_free(ctx);
    }
    if (listenFd >= 0)
        ::close(listenFd);
    modbus_mapping_free(mapping);
}

uint16_t *LibmodbusSlave::registers()
{
    return mapping->tab_registers;
}

std::unique_ptr<LibmodbusSlave> LibmodbusSlave::tcp()
{
    std::unique_ptr<LibmodbusSlave> s(new LibmodbusSlave);
    s->listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (s->listenFd < 0 || ::bind(s->listenFd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        ::listen(s->listenFd, 4) != 0 ||
        ::getsockname(s->listenFd, reinterpret_cast<sockaddr *>(&a), &size) != 0)
        return s;
    s->tcpPort = ntohs(a.sin_port);
    s->ctx = modbus_new_tcp("127.0.0.1", s->tcpPort);
    s->ready = s->ctx != nullptr && s->mapping != nullptr;
    if (s->ready)
        s->server = std::thread(&LibmodbusSlave::serveTcp, s.get());
    return s;
}

void LibmodbusSlave::serveTcp()
{
    while (!stop) {
        pollfd p{listenFd, POLLIN, 0};
        if (::poll(&p, 1, kStopCheckMs) <= 0)
            continue;
        const int conn = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0)
            continue;
        modbus_set_socket(ctx, conn);
        serve(ctx, mapping, stop);
        modbus_set_socket(ctx, -1);
        ::close(conn);
    }
}

std::unique_ptr<LibmodbusSlave> LibmodbusSlave::rtu(int lineFd)
{
    std::unique_ptr<LibmodbusSlave> s(new LibmodbusSlave);
    s->pty = std::make_unique<PtyPair>();
    if (!s->pty->ok())
        return s;
    s->ctx = modbus_new_rtu(s->pty->path(), 38400, 'N', 8, 1);
    if (s->ctx == nullptr || s->mapping == nullptr || modbus_set_slave(s->ctx, 1) != 0 ||
        modbus_connect(s->ctx) != 0)
        return s;
    s->ready = true;
    s->server = std::thread(&LibmodbusSlave::serveRtu, s.get());
    s->relayer = std::thread(&LibmodbusSlave::relay, s.get(), lineFd);
    return s;
}

void LibmodbusSlave::serveRtu()
{
    serve(ctx, mapping, stop);
}

void LibmodbusSlave::relay(int lineFd)
{
    const int ends[2] = {lineFd, pty->fd()};
    uint8_t chunk[512];
    while (!stop) {
        pollfd p[2] = {{ends[0], POLLIN, 0}, {ends[1], POLLIN, 0}};
        if (::poll(p, 2, kStopCheckMs) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & POLLIN))
                continue;
            const ssize_t r = ::read(ends[i], chunk, sizeof chunk);
            if (r > 0)
                (void)!::write(ends[1 - i], chunk, static_cast<size_t>(r));
        }
    }
}
