#include "RawClient.h"

#include "modbus/Crc16.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace
{

bool waitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    int n;
    while ((n = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

bool writeAll(int fd, const std::vector<uint8_t> &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

void putWord(std::vector<uint8_t> &out, int value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

int wordAt(const std::vector<uint8_t> &bytes, size_t offset)
{
    return bytes.at(offset) << 8 | bytes.at(offset + 1);
}

RawTcpClient::RawTcpClient(int port)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        fd = -1;
    }
}

RawTcpClient::~RawTcpClient()
{
    if (fd >= 0)
        ::close(fd);
}

bool RawTcpClient::sendRaw(const std::vector<uint8_t> &bytes)
{
    if (fd < 0)
        return false;
    if (writeAll(fd, bytes))
        return true;
    closedByPeer = errno == EPIPE || errno == ECONNRESET;
    return false;
}

bool RawTcpClient::send(uint8_t unit, const std::vector<uint8_t> &pdu)
{
    std::vector<uint8_t> frame;
    putWord(frame, transaction);
    putWord(frame, protocol);
    putWord(frame, static_cast<int>(pdu.size() + 1));
    frame.push_back(unit);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return sendRaw(frame);
}

bool RawTcpClient::readExactly(uint8_t *buf, size_t n, int timeoutMs)
{
    size_t have = 0;
    while (have < n) {
        if (!waitReadable(fd, timeoutMs))
            return false;
        ssize_t got = ::recv(fd, buf + have, n - have, 0);
        if (got == 0 || (got < 0 && errno == ECONNRESET))
            closedByPeer = true;
        if (got <= 0)
            return false;
        have += static_cast<size_t>(got);
    }
    return true;
}

std::optional<Answer> RawTcpClient::receive(int timeoutMs)
{
    uint8_t header[7];
    if (fd < 0 || !readExactly(header, sizeof header, timeoutMs))
        return std::nullopt;
    Answer a;
    a.transaction = static_cast<uint16_t>(header[0] << 8 | header[1]);
    a.protocol = static_cast<uint16_t>(header[2] << 8 | header[3]);
    a.length = static_cast<uint16_t>(header[4] << 8 | header[5]);
    a.unit = header[6];
    if (a.length < 2)
        return std::nullopt;
    a.pdu.resize(a.length - 1u);
    if (!readExactly(a.pdu.data(), a.pdu.size(), timeoutMs))
        return std::nullopt;
    return a;
}

RawRtuClient::RawRtuClient(const std::string &path)
{
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
        ::tcflush(fd, TCIOFLUSH);
    }
}

RawRtuClient::~RawRtuClient()
{
    if (fd >= 0)
        ::close(fd);
}

bool RawRtuClient::sendRaw(const std::vector<uint8_t> &bytes)
{
    return fd >= 0 && writeAll(fd, bytes);
}

bool RawRtuClient::send(uint8_t unit, const std::vector<uint8_t> &pdu)
{
    std::vector<uint8_t> frame{unit};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return sendRaw(frame);
}

std::optional<Answer> RawRtuClient::receive(int timeoutMs)
{
    std::vector<uint8_t> frame;
    int wait = timeoutMs;
    while (fd >= 0 && waitReadable(fd, wait)) {
        uint8_t buf[300];
        ssize_t got = ::read(fd, buf, sizeof buf);
        if (got <= 0)
            break;
        frame.insert(frame.end(), buf, buf + got);
        wait = 30;
    }
    if (frame.size() < 4)
        return std::nullopt;
    Answer a;
    a.unit = frame[0];
    a.pdu.assign(frame.begin() + 1, frame.end() - 2);
    uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size() - 2));
    a.crcOk = frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
    return a;
}

std::unique_ptr<RawClient> connectRaw(bool tcp, int port, const std::string &ptyPath)
{
    if (tcp)
        return std::make_unique<RawTcpClient>(port);
    return std::make_unique<RawRtuClient>(ptyPath);
}
