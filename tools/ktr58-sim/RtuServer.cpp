#include "RtuServer.h"

#include "Log.h"
#include "RtuFramer.h"
#include "SerialLine.h"
#include "modbus/Crc16.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace
{

void writeAll(int fd, const std::vector<uint8_t> &frame)
{
    size_t sent = 0;
    while (sent < frame.size()) {
        ssize_t n = ::write(fd, frame.data() + sent, frame.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return; // nobody reads the line: the reply is lost, as on a real wire
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

std::vector<uint8_t> rtuFrame(const Reply &reply)
{
    std::vector<uint8_t> frame{reply.unit};
    frame.insert(frame.end(), reply.pdu.begin(), reply.pdu.end());
    uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size()));
    if (reply.corrupt)
        crc ^= 0x5A5A;
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

} // namespace

int serveRtu(const SimOptions &o, Responder &responder, const StopSignal &stop)
{
    SerialLine line;
    std::string error = line.open(o);
    if (!error.empty()) {
        std::fprintf(stderr, "ktr58-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("ktr58-sim: serving rtu %s\n", o.serialPath.c_str());
    std::fflush(stdout);

    RtuFramer framer(o.baud);
    while (!stop.requested()) {
        pollfd fds[2] = {{stop.fd(), POLLIN, 0}, {line.fd(), POLLIN, 0}};
        int n = ::poll(fds, 2, framer.idleTimeoutMs(RtuFramer::Clock::now()));
        if (n < 0 && errno != EINTR)
            break;
        if (n > 0 && fds[1].revents != 0) {
            uint8_t buf[512];
            ssize_t got = ::read(line.fd(), buf, sizeof buf);
            if (got > 0) {
                framer.feed(buf, static_cast<size_t>(got), RtuFramer::Clock::now());
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "ktr58-sim: the serial line is gone\n");
                return 1;
            }
        } else {
            framer.idle(RtuFramer::Clock::now());
        }
        while (framer.hasFrame() && !stop.requested()) {
            std::vector<uint8_t> request = framer.takeFrame();
            std::optional<Reply> reply =
                responder.respond(request[0], request.data() + 1, request.size() - 3);
            if (!reply)
                continue;
            if (o.delayMs > 0 && !stop.sleep(o.delayMs))
                break;
            writeAll(line.fd(), rtuFrame(*reply));
        }
    }
    return 0;
}
