#include "SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

speed_t speedOf(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

bool makeRaw(int fd, int baud)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speedOf(baud));
    ::cfsetospeed(&t, speedOf(baud));
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string failure(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace

SerialLine::~SerialLine()
{
    if (!link.empty()) {
        char target[256] = {};
        if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && slaveName == target)
            ::unlink(link.c_str());
    }
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (lineFd >= 0)
        ::close(lineFd);
}

std::string SerialLine::open(const SimOptions &o)
{
    if (o.transport == SimOptions::Transport::Rtu) {
        lineFd = ::open(o.serialPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (lineFd < 0)
            return failure("cannot open " + o.serialPath);
        if (!makeRaw(lineFd, o.baud))
            return failure("cannot set up " + o.serialPath);
        return {};
    }

    lineFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (lineFd < 0 || ::grantpt(lineFd) != 0 || ::unlockpt(lineFd) != 0)
        return failure("cannot create a pseudo-terminal");
    ::fcntl(lineFd, F_SETFL, ::fcntl(lineFd, F_GETFL) | O_NONBLOCK);
    slaveName = ::ptsname(lineFd);
    slaveFd = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0 || !makeRaw(slaveFd, o.baud))
        return failure("cannot set up " + slaveName);

    // A link left behind by a killed simulator is replaced; anything else stays.
    struct stat st {
    };
    if (::lstat(o.serialPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return o.serialPath + " exists and is not a symbolic link";
        ::unlink(o.serialPath.c_str());
    }
    if (::symlink(slaveName.c_str(), o.serialPath.c_str()) != 0)
        return failure("cannot create " + o.serialPath);
    link = o.serialPath;
    return {};
}

void SerialLine::write(const uint8_t *data, size_t n) const
{
    size_t sent = 0;
    while (sent < n) {
        const ssize_t w = ::write(lineFd, data + sent, n - sent);
        if (w > 0) {
            sent += static_cast<size_t>(w);
        } else if (w < 0 && errno == EAGAIN) {
            pollfd p{lineFd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return;
        } else if (w < 0 && errno != EINTR) {
            return;
        }
    }
}
