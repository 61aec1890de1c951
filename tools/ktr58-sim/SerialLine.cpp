#include "SerialLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

std::string failure(const std::string &what, SerialResult r)
{
    switch (r) {
    case SerialResult::NotFound:
        return what + ": " + std::strerror(ENOENT);
    case SerialResult::AccessDenied:
        return what + ": " + std::strerror(EBUSY);
    case SerialResult::NoPermission:
        return what + ": " + std::strerror(EACCES);
    case SerialResult::BadParameter:
        return what + ": " + std::strerror(EINVAL);
    default:
        return what + ": " + std::strerror(errno);
    }
}

} // namespace

SerialLine::~SerialLine()
{
    if (!link.empty()) {
        char target[256] = {};
        if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && peerName == target)
            ::unlink(link.c_str());
    }
}

std::string SerialLine::open(const SimOptions &o)
{
    const bool device = o.transport == SimOptions::Transport::Rtu;
    SerialResult r = device ? port.open(o.serialPath.c_str()) : port.openPseudoTerminal(peerName);
    if (r != SerialResult::Ok)
        return failure(device ? "cannot open " + o.serialPath : "cannot create a pseudo-terminal", r);
    r = port.configure(o.baud, 8, 1, 0);
    if (r != SerialResult::Ok)
        return failure("cannot set up " + (device ? o.serialPath : peerName), r);
    // RTS up, as a tty's open leaves it: an adapter that keys its transmitter on RTS must send our replies.
    port.setRts();
    if (device)
        return {};

    // A link left behind by a killed simulator is replaced; anything else stays.
    struct stat st {
    };
    if (::lstat(o.serialPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return o.serialPath + " exists and is not a symbolic link";
        ::unlink(o.serialPath.c_str());
    }
    if (::symlink(peerName.c_str(), o.serialPath.c_str()) != 0)
        return std::string("cannot create ") + o.serialPath + ": " + std::strerror(errno);
    link = o.serialPath;
    return {};
}

void SerialLine::write(const uint8_t *data, size_t n)
{
    port.write(data, static_cast<int>(n), 1000);
}
