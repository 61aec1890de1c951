#include "RtuFramer.h"

#include "modbus/Crc16.h"
#include "modbus/ModbusNumbers.h"

namespace
{

constexpr size_t maxFrame = 256;

// Request length of a frame that starts with `f`, 0 while too few bytes have
// arrived to tell, -1 for functions whose length only the silence tells.
long requestLength(const std::vector<uint8_t> &f)
{
    if (f.size() < 2)
        return 0;
    switch (f[1]) {
    case 1:
    case 2:
    case modbus::ReadHoldingRegisters:
    case 4:
    case 5:
    case 6:
    case 8:
        return 8;
    case 7:
    case 11:
    case 12:
    case 17:
        return 4;
    case 15:
    case modbus::WriteMultipleRegisters:
        return f.size() < 7 ? 0 : 9 + f[6];
    case modbus::ReadFileRecord:
    case 21:
        return f.size() < 3 ? 0 : 5 + f[2];
    case 22:
        return 10;
    case 23:
        return f.size() < 11 ? 0 : 13 + f[10];
    case modbus::EncapsulatedInterface:
        return f.size() < 3 ? 0 : f[2] == modbus::MeiDeviceIdentification ? 7 : -1;
    default:
        return -1;
    }
}

bool crcMatches(const std::vector<uint8_t> &f)
{
    if (f.size() < 4)
        return false;
    uint16_t crc = crc16(f.data(), static_cast<int>(f.size() - 2));
    return f[f.size() - 2] == (crc & 0xFF) && f[f.size() - 1] == (crc >> 8);
}

} // namespace

RtuFramer::RtuFramer(int baud)
{
    // 3.5 characters of 11 bits; a fixed 1.75 ms above 19200 baud.
    long micros = baud > 19200 ? 1750 : 38500000L / baud;
    silence = std::chrono::microseconds(micros);
}

void RtuFramer::feed(const uint8_t *data, size_t length, Clock::time_point now)
{
    idle(now);
    lastByte = now;
    if (discarding)
        return;
    pending.insert(pending.end(), data, data + length);
    extractKnownLengths();
}

void RtuFramer::idle(Clock::time_point now)
{
    if (now - lastByte < silence)
        return;
    discarding = false;
    if (!pending.empty()) {
        finish(std::move(pending));
        pending.clear();
    }
}

int RtuFramer::idleTimeoutMs(Clock::time_point now) const
{
    if (pending.empty() && !discarding)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(lastByte + silence - now).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::vector<uint8_t> RtuFramer::takeFrame()
{
    std::vector<uint8_t> f = std::move(frames.front());
    frames.pop_front();
    return f;
}

void RtuFramer::extractKnownLengths()
{
    for (;;) {
        long need = requestLength(pending);
        if (need < 0 && pending.size() <= maxFrame)
            return; // waits for the silence
        if (need < 0 || static_cast<size_t>(need) > maxFrame) {
            discard();
            return;
        }
        if (need == 0 || pending.size() < static_cast<size_t>(need))
            return;
        std::vector<uint8_t> frame(pending.begin(), pending.begin() + need);
        if (!crcMatches(frame)) {
            discard();
            return;
        }
        pending.erase(pending.begin(), pending.begin() + need);
        finish(std::move(frame));
    }
}

void RtuFramer::discard()
{
    // Not a frame after all: everything up to the next silence goes.
    pending.clear();
    discarding = true;
}

void RtuFramer::finish(std::vector<uint8_t> frame)
{
    if (crcMatches(frame))
        frames.push_back(std::move(frame));
}
