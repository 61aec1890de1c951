#include "RtuServer.h"

#include "LinePace.h"
#include "Log.h"
#include "RtuFramer.h"
#include "SerialLine.h"
#include "modbus/Crc16.h"
#include "modbus/FdWait.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

namespace
{

std::vector<uint8_t> rtuFrame(const Reply &reply)
{
    std::vector<uint8_t> frame(reply.pdu.size() + 3);
    frame[0] = reply.unit;
    std::copy(reply.pdu.begin(), reply.pdu.end(), frame.begin() + 1);
    uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size() - 2));
    if (reply.corrupt)
        crc ^= 0x5A5A;
    frame[frame.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
    frame[frame.size() - 1] = static_cast<uint8_t>(crc >> 8);
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

    line.setWakeFd(stop.fd());
    RtuFramer framer(o.baud);
    std::optional<LinePace> pace;
    if (o.pace)
        pace.emplace(o.baud);
    while (!stop.requested()) {
        const int idleMs = framer.idleTimeoutMs(RtuFramer::Clock::now());
        const int64_t deadline =
            idleMs < 0 ? std::numeric_limits<int64_t>::max() : steadyUs() + int64_t{idleMs} * 1000;
        uint8_t buf[512];
        int got = 0;
        const SerialResult r = line.read(buf, sizeof buf, deadline, got);
        if (r == SerialResult::Ok) {
            const auto now = RtuFramer::Clock::now();
            framer.feed(buf, static_cast<size_t>(got), now);
            if (pace)
                pace->received(static_cast<size_t>(got), now);
        } else if (r == SerialResult::SystemError) {
            std::fprintf(stderr, "ktr58-sim: the serial line is gone\n");
            return 1;
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
            const std::vector<uint8_t> frame = rtuFrame(*reply);
            if (!pace)
                line.write(frame.data(), frame.size());
            else if (!pace->send(line, frame, stop))
                break;
        }
    }
    return 0;
}
