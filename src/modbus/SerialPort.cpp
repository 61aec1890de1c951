#include "modbus/SerialPort.h"

#include "modbus/FdWait.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

struct Speed {
    int baud;
    speed_t code;
};

// The kernel's standard speeds; anything else is refused like a driver would.
constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool speedCode(int baud, speed_t &code)
{
    for (const Speed &s : kSpeeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

SerialResult openFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return SerialResult::NotFound;
    case EBUSY:
        return SerialResult::AccessDenied;
    case EACCES:
    case EPERM:
        return SerialResult::NoPermission;
    default:
        return SerialResult::SystemError;
    }
}

} // namespace

SerialPort::~SerialPort()
{
    close();
}

SerialResult SerialPort::open(const char *portName)
{
    static_assert(sizeof(termios) <= sizeof(savedSettings) && alignof(termios) <= 8);
    if (isOpen())
        close();
    if (portName == nullptr)
        return SerialResult::NotFound;

    const int fd = ::open(portName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return openFailure(errno);
    // The advisory lock keeps out every cooperating opener, the exclusive tty
    // mode every other unprivileged one.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? SerialResult::AccessDenied : SerialResult::SystemError;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return SerialResult::SystemError;
    }
    return setUp(fd);
}

SerialResult SerialPort::openPseudoTerminal(std::string &peerPath)
{
    if (isOpen())
        close();
    // A new master is nobody else's, so it needs neither the lock nor the exclusive mode.
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return SerialResult::SystemError;
    char name[128] = {};
    if (::grantpt(fd) == 0 && ::unlockpt(fd) == 0 && ::ptsname_r(fd, name, sizeof name) == 0 &&
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0)
        peerHandle = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (peerHandle < 0) {
        ::close(fd);
        return SerialResult::SystemError;
    }
    peerPath = name;
    // The settings of a pseudo-terminal are its peer's, which the master reads and sets.
    return setUp(fd);
}

SerialResult SerialPort::setUp(int fd)
{
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) {
        ::close(fd);
        if (peerHandle >= 0)
            ::close(peerHandle);
        peerHandle = -1;
        return SerialResult::SystemError;
    }
    std::memcpy(savedSettings, &saved, sizeof saved);
    portHandle = fd;
    lastActivity = steadyUs(); // the line was not watched before: it counts as busy until now
    purge();
    const SerialResult r = configure(9600, 8, 1, 0);
    if (r != SerialResult::Ok)
        close();
    return r;
}

SerialResult SerialPort::configure(int baudRate, int dataBits, int stopBits, int parity)
{
    if (!isOpen())
        return SerialResult::NotOpen;
    termios t{};
    if (::tcgetattr(portHandle, &t) != 0)
        return SerialResult::SystemError;

    speed_t speed = B0;
    if (!speedCode(baudRate, speed) || (dataBits != 7 && dataBits != 8) || (stopBits != 1 && stopBits != 2) ||
        parity < 0 || parity > 2)
        return SerialResult::BadParameter;

    // Raw binary line: no echo, no signals, no translation, no software or
    // hardware flow control. VMIN 1 makes an empty non-blocking read fail with
    // EAGAIN, so that a read of 0 bytes means a hang-up.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | (dataBits == 8 ? CS8 : CS7);
    if (stopBits == 2)
        t.c_cflag |= CSTOPB;
    if (parity != 0) {
        t.c_cflag |= PARENB;
        t.c_iflag |= INPCK;
        if (parity == 1)
            t.c_cflag |= PARODD;
    }
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
        ::tcsetattr(portHandle, TCSANOW, &t) != 0)
        return SerialResult::BadParameter;

    // DTR asserted while open; RTS down until raised explicitly. A
    // pseudo-terminal has no modem lines, so the results are not checked.
    int bits = TIOCM_DTR;
    ::ioctl(portHandle, TIOCMBIS, &bits);
    bits = TIOCM_RTS;
    ::ioctl(portHandle, TIOCMBIC, &bits);
    return SerialResult::Ok;
}

void SerialPort::close()
{
    if (!isOpen())
        return;
    purge();
    termios saved{};
    std::memcpy(&saved, savedSettings, sizeof saved);
    ::tcsetattr(portHandle, TCSANOW, &saved);
    // The exclusive mode outlives this descriptor while the other end of a
    // pseudo-terminal stays open, so it is dropped explicitly.
    ::ioctl(portHandle, TIOCNXCL);
    ::close(portHandle);
    portHandle = -1;
    if (peerHandle >= 0)
        ::close(peerHandle);
    peerHandle = -1;
}

SerialResult SerialPort::write(const uint8_t buffer[], int n, int timeoutMs)
{
    if (!isOpen())
        return SerialResult::NotOpen;
    const int64_t deadline = steadyUs() + int64_t{timeoutMs} * 1000;
    int done = 0;
    while (done < n) {
        const ssize_t w = ::write(portHandle, buffer + done, static_cast<size_t>(n - done));
        if (w > 0) {
            done += static_cast<int>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN)
            break;
        const int ready = waitForFdUntil(portHandle, POLLOUT, deadline, wakeFd);
        if (ready == kWoken)
            return SerialResult::Woken;
        if (ready <= 0 || (ready & POLLOUT) == 0)
            break;
    }
    return done == n ? SerialResult::Ok : SerialResult::Incomplete;
}

SerialResult SerialPort::read(uint8_t buffer[], int n, int timeoutMs, int *received)
{
    return readUntil(buffer, n, steadyUs() + int64_t{timeoutMs} * 1000, received);
}

SerialResult SerialPort::readUntil(uint8_t buffer[], int n, int64_t deadline, int *received)
{
    int ignored = 0;
    int &done = received ? *received : ignored;
    done = 0;
    if (!isOpen())
        return SerialResult::NotOpen;
    while (done < n) {
        const ssize_t r = ::read(portHandle, buffer + done, static_cast<size_t>(n - done));
        if (r > 0) {
            done += static_cast<int>(r);
            lastActivity = steadyUs();
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0 || errno != EAGAIN)
            break; // hang-up or device failure: what arrived is all there is
        const int ready = waitForFdUntil(portHandle, POLLIN, deadline, wakeFd);
        if (ready == kWoken)
            return SerialResult::Woken;
        if (ready <= 0 || (ready & POLLIN) == 0)
            break;
    }
    return done == n ? SerialResult::Ok : SerialResult::Incomplete;
}

SerialResult SerialPort::readAvailable(uint8_t buffer[], int n, int64_t deadline, int &received)
{
    received = 0;
    if (!isOpen())
        return SerialResult::NotOpen;
    for (;;) {
        const ssize_t r = ::read(portHandle, buffer, static_cast<size_t>(n));
        if (r > 0) {
            received = static_cast<int>(r);
            lastActivity = steadyUs();
            return SerialResult::Ok;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0 || errno != EAGAIN)
            return SerialResult::SystemError;
        const int ready = waitForFdUntil(portHandle, POLLIN, deadline, wakeFd);
        if (ready == kWoken)
            return SerialResult::Woken;
        if (ready == 0)
            return SerialResult::Incomplete;
        if (ready < 0 || (ready & POLLIN) == 0)
            return SerialResult::SystemError; // a hang-up or error with nothing left to read
    }
}

SerialResult SerialPort::purge()
{
    if (!isOpen())
        return SerialResult::NotOpen;
    return ::tcflush(portHandle, TCIOFLUSH) == 0 ? SerialResult::Ok : SerialResult::SystemError;
}

SerialResult SerialPort::drain()
{
    if (!isOpen())
        return SerialResult::NotOpen;
    while (::tcdrain(portHandle) != 0) {
        if (errno != EINTR)
            return SerialResult::SystemError;
    }
    lastActivity = steadyUs();
    return SerialResult::Ok;
}

SerialResult SerialPort::setRts()
{
    if (!isOpen())
        return SerialResult::NotOpen;
    int bits = TIOCM_RTS;
    return ::ioctl(portHandle, TIOCMBIS, &bits) == 0 ? SerialResult::Ok : SerialResult::SystemError;
}

SerialResult SerialPort::clearRts()
{
    if (!isOpen())
        return SerialResult::NotOpen;
    int bits = TIOCM_RTS;
    return ::ioctl(portHandle, TIOCMBIC, &bits) == 0 ? SerialResult::Ok : SerialResult::SystemError;
}
