#include "modbus/MbusRtuMasterProtocol.h"

#include "modbus/FdWait.h"
#include "modbus/ModbusFrames.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace
{

int replyFailure(SerialResult r)
{
    if (r == SerialResult::Woken)
        return Cancelled;
    return r == SerialResult::Incomplete ? ReplyTimeout : IoError;
}

} // namespace

MbusRtuMasterProtocol::~MbusRtuMasterProtocol() = default;

int MbusRtuMasterProtocol::open(const char *portName, int baudRate, int dataBits, int stopBits, int parity)
{
    // Four characters of 11 bits, rounded up: never less than the 3.5 a slave needs.
    frameSilenceUs = baudRate > 0 ? (44000000 + baudRate - 1) / baudRate : 1000;
    if (dataBits != 8)
        return IllegalArgument;
    return MbusSerialMasterProtocol::open(portName, baudRate, dataBits, stopBits, parity);
}

int MbusRtuMasterProtocol::transactOnce(int slaveAddr, int functionCode, const uint8_t request[],
                                        int requestLen, uint8_t reply[], int replyLen)
{
    const int requestFrameLength =
        modbus::buildRtuRequest(frame, slaveAddr, functionCode, request, requestLen);

    int result = awaitOwedReply();
    if (result != Success)
        return result;
    result = applyPollDelay();
    if (result != Success)
        return result;
    // Bytes still waiting are read, not flushed: they tell when the line was last busy.
    const Line line = awaitQuietLine(steadyUs() + int64_t{timeout} * 1000);
    if (line != Line::Quiet)
        return line == Line::Woken ? Cancelled : ReplyTimeout;
    serialPort.purge(); // what is left of an interrupted request must not precede this one

    markSending();
    if (rtsToggle)
        serialPort.setRts();
    const SerialResult w = serialPort.write(frame, requestFrameLength, timeout);
    serialPort.drain();
    if (rtsToggle) {
        std::this_thread::sleep_for(std::chrono::milliseconds(rtsDelay));
        serialPort.clearRts();
    }
    if (w == SerialResult::Woken)
        return owe(Cancelled); // part of the request may be on the line
    if (w != SerialResult::Ok)
        return w == SerialResult::Incomplete ? SendTimeout : IoError;
    observeSent(frame, requestFrameLength, modbus::RtuPduOffset);
    if (slaveAddr == 0 || replyLen <= 0)
        return Success;

    // The head is as long as an exception reply, so the first read stops there.
    receivedFrame = frame;
    SerialResult r = serialPort.read(frame, modbus::RtuReplyHead, timeout, &receivedLength);
    if (r != SerialResult::Ok)
        return owe(replyFailure(r));
    const int length = modbus::rtuReplyLength(frame, replyLen);
    if (length > modbus::RtuReplyHead) {
        int rest = 0;
        r = serialPort.read(frame + modbus::RtuReplyHead, length - modbus::RtuReplyHead, timeout, &rest);
        receivedLength += rest;
        if (r != SerialResult::Ok)
            return owe(replyFailure(r));
    }
    const int verdict = modbus::checkRtuReply(frame, length, slaveAddr, functionCode, reply, replyLen);
    if (verdict == InvalidFrame)
        return owe(verdict); // someone else's frame: ours may still come
    return verdict;
}

int MbusRtuMasterProtocol::owe(int result)
{
    owedUntil = steadyMs() + timeout;
    return result;
}

int MbusRtuMasterProtocol::awaitOwedReply()
{
    if (owedUntil == 0)
        return Success;
    const int64_t left = owedUntil - steadyMs();
    uint8_t first;
    const SerialResult r = serialPort.read(&first, 1, left > 0 ? static_cast<int>(left) : 0);
    // The rest of the reply, up to the silence that ends a frame; a line that
    // never goes quiet is left to the idle-line wait.
    if (r == SerialResult::Woken ||
        (r == SerialResult::Ok && awaitQuietLine(steadyUs() + int64_t{timeout} * 1000) == Line::Woken))
        return Cancelled; // still owed: the next transaction waits for it
    owedUntil = 0;
    return Success;
}

MbusRtuMasterProtocol::Line MbusRtuMasterProtocol::awaitQuietLine(int64_t giveUpUs)
{
    uint8_t discard[64];
    for (;;) {
        int got = 0;
        const SerialResult r =
            serialPort.readUntil(discard, sizeof discard, serialPort.lastActivityUs() + frameSilenceUs, &got);
        if (r == SerialResult::Woken)
            return Line::Woken;
        if (got == 0 && r != SerialResult::Ok)
            return Line::Quiet;
        if (steadyUs() >= giveUpUs)
            return Line::Busy;
    }
}
