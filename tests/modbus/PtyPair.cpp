#include "PtyPair.h"

#include "LoopbackPeer.h"

#include "modbus/Crc16.h"

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd < 0 || ::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0)
        return;
    slavePath = ::ptsname(masterFd);
    holdFd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (holdFd >= 0 && ::tcgetattr(holdFd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(holdFd, TCSANOW, &t);
    }
}

PtyPair::~PtyPair()
{
    if (holdFd >= 0)
        ::close(holdFd);
    if (masterFd >= 0)
        ::close(masterFd);
}

std::vector<uint8_t> PtyPair::read(size_t n, int ms)
{
    return readBytes(masterFd, n, ms);
}

void PtyPair::write(const std::vector<uint8_t> &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(masterFd, bytes.data() + done, bytes.size() - done);
        if (w <= 0)
            return;
        done += static_cast<size_t>(w);
    }
}

std::vector<uint8_t> withCrc(std::vector<uint8_t> frame)
{
    const uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}
