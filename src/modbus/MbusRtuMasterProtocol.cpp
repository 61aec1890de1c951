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
    // Four characters of 11 bits, rounded to the nearest ms, at least 1 ms.
    const double silence = baudRate > 0 ? 11000.0 / baudRate * 4 + 0.5 : 0.0;
    frameSilence = silence > 1.0 ? static_cast<int>(silence) : 1;
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
    serialPort.purge();
    result = applyPollDelay();
    if (result != Success)
        return result;

    // Send only after frameSilence ms without a received byte, but give up
    // once the line has been busy for a whole time-out.
    const int64_t idleDeadline = steadyMs() + timeout;
    uint8_t discard;
    SerialResult idle;
    while ((idle = serialPort.read(&discard, 1, frameSilence)) == SerialResult::Ok) {
        if (steadyMs() >= idleDeadline)
            return ReplyTimeout;
    }
    if (idle == SerialResult::Woken)
        return Cancelled;

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
    uint8_t discard;
    SerialResult r = serialPort.read(&discard, 1, left > 0 ? static_cast<int>(left) : 0);
    if (r == SerialResult::Ok) {
        // The rest of the reply, up to the silence that ends a frame; a line that
        // never goes quiet is left to the idle-line wait.
        const int64_t end = steadyMs() + timeout;
        while ((r = serialPort.read(&discard, 1, frameSilence)) == SerialResult::Ok && steadyMs() < end) {
        }
    }
    if (r == SerialResult::Woken)
        return Cancelled; // still owed: the next transaction waits for it
    owedUntil = 0;
    return Success;
}
