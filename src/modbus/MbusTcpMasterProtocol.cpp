#include "modbus/MbusTcpMasterProtocol.h"

#include "modbus/FdWait.h"
#include "modbus/ModbusFrames.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

void setOption(int fd, int level, int name, const void *value, socklen_t size)
{
    // Tuning only: a refused option leaves a working connection.
    (void)::setsockopt(fd, level, name, value, size);
}

} // namespace

MbusTcpMasterProtocol::~MbusTcpMasterProtocol()
{
    MbusTcpMasterProtocol::close();
}

int MbusTcpMasterProtocol::open(const char *hostName)
{
    if (isOpen())
        return IllegalState;
    if (hostName == nullptr)
        return IllegalArgument;
    peerAddress = {};
    peerAddress.sin_family = AF_INET;
    peerAddress.sin_port = htons(port);
    if (::inet_pton(AF_INET, hostName, &peerAddress.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *found = nullptr;
        if (::getaddrinfo(hostName, nullptr, &hints, &found) != 0 || found == nullptr)
            return ConnectionError;
        peerAddress.sin_addr = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    return connectSocket();
}

void MbusTcpMasterProtocol::close()
{
    if (socketHandle < 0)
        return;
    ::shutdown(socketHandle, SHUT_RDWR);
    ::close(socketHandle);
    socketHandle = -1;
}

int MbusTcpMasterProtocol::connectSocket()
{
    if (isOpen())
        close();
    socketHandle = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socketHandle < 0)
        return OpenError;

    if (::connect(socketHandle, reinterpret_cast<const sockaddr *>(&peerAddress), sizeof peerAddress) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            close();
            return ConnectionError;
        }
        const int ready = waitForFd(socketHandle, POLLOUT, timeout, cancelSignal.fd());
        if (ready == kWoken) {
            close();
            return Cancelled;
        }
        if (ready == 0) {
            close();
            return ConnectionError;
        }
        if (ready < 0) {
            close();
            return IoError;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(socketHandle, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            close();
            return ConnectionError;
        }
    }

    const int on = 1;
    const int bufferSize = modbus::MaxFrameLength;
    const linger noLinger{0, 0};
    setOption(socketHandle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setOption(socketHandle, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
    setOption(socketHandle, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    setOption(socketHandle, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
    observeOpened();
    return Success;
}

int MbusTcpMasterProtocol::reconnect()
{
    close();
    return connectSocket();
}

bool MbusTcpMasterProtocol::retryable(int result) const
{
    return result == InvalidFrame || result == InvalidReply || result == ReplyTimeout;
}

int MbusTcpMasterProtocol::recover(int result)
{
    if (result == Cancelled) {
        close(); // its reply may still come on this connection
        return Success;
    }
    return retryable(result) ? reconnect() : Success;
}

int MbusTcpMasterProtocol::flushInput()
{
    const int64_t deadline = steadyMs() + timeout;
    while (waitForFd(socketHandle, POLLIN, 0) > 0) {
        const ssize_t r = ::recv(socketHandle, adu, sizeof adu, 0);
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
            return ConnectionClosed;
        if (steadyMs() >= deadline)
            return ReplyTimeout;
    }
    return Success;
}

int MbusTcpMasterProtocol::receive(int &have, int want, int upTo)
{
    while (have < want) {
        const int ready = waitForFd(socketHandle, POLLIN, timeout, cancelSignal.fd());
        if (ready == kWoken)
            return Cancelled;
        if (ready == 0)
            return ReplyTimeout;
        if (ready < 0)
            return IoError;
        const ssize_t r = ::recv(socketHandle, adu + have, static_cast<size_t>(upTo - have), 0);
        if (r > 0)
            have += static_cast<int>(r);
        else if (r == 0 || (errno != EAGAIN && errno != EINTR))
            return ConnectionClosed;
    }
    return Success;
}

int MbusTcpMasterProtocol::transactOnce(int slaveAddr, int functionCode, const uint8_t request[],
                                        int requestLen, uint8_t reply[], int replyLen)
{
    int r = flushInput();
    if (r != Success)
        return r;

    const int requestFrameLength = modbus::buildTcpRequest(adu, slaveAddr, functionCode, request, requestLen);

    r = applyPollDelay();
    if (r != Success)
        return r;

    // An idle socket takes the small request at once; wait for room only when it does not.
    markSending();
    ssize_t sent = ::send(socketHandle, adu, static_cast<size_t>(requestFrameLength), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const int ready = waitForFd(socketHandle, POLLOUT, timeout, cancelSignal.fd());
        if (ready == kWoken)
            return Cancelled;
        if (ready <= 0 || (ready & POLLOUT) == 0)
            return IoError;
        sent = ::send(socketHandle, adu, static_cast<size_t>(requestFrameLength), MSG_NOSIGNAL);
    }
    if (sent < 0)
        return ConnectionClosed;
    if (sent != requestFrameLength)
        return IoError;
    observeSent(adu, requestFrameLength, modbus::TcpPduOffset);

    // The reply is delimited by the length the caller expects, not by its
    // length field; an exception reply ends after its code byte.
    // The first read already asks for the whole expected reply, so a reply that
    // arrived in one piece costs one read; it never asks past that length.
    const int full = modbus::tcpReplyCapacity(replyLen);
    int have = 0;
    receivedFrame = adu;
    r = receive(have, modbus::TcpReplyHead, full);
    const int length = r == Success ? modbus::tcpReplyLength(adu, replyLen) : 0;
    if (r == Success)
        r = receive(have, length, full);
    receivedLength = have;
    if (r != Success)
        return r;
    return modbus::checkTcpReply(adu, length, slaveAddr, functionCode, reply, replyLen);
}
