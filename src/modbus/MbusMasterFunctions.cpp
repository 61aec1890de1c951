#include "modbus/MbusMasterFunctions.h"

#include "modbus/ModbusFrames.h"

#include <cstring>

MbusMasterFunctions::~MbusMasterFunctions() = default;

int MbusMasterFunctions::setSetting(int &setting, int value, int low, int high)
{
    if (value < low || value > high)
        return IllegalArgument;
    if (isOpen())
        return IllegalState;
    setting = value;
    return Success;
}

int MbusMasterFunctions::setTimeout(int ms)
{
    return setSetting(timeout, ms, 1, 100000);
}

int MbusMasterFunctions::setPollDelay(int ms)
{
    return setSetting(pollDelay, ms, 0, 100000);
}

int MbusMasterFunctions::setRetryCount(int n)
{
    return setSetting(retryCount, n, 0, 10);
}

int MbusMasterFunctions::readHoldingRegisters(int slaveAddr, int startRef, int16_t values[], int count)
{
    if (values == nullptr)
        return IllegalArgument;
    for (int i = 0; i < count; ++i)
        values[i] = 0;
    if (slaveAddr < 1 || slaveAddr > 255 || startRef < 1 || startRef > 65536 || count < 1 ||
        count > modbus::MaxReadRegisters)
        return IllegalArgument;

    const int length = modbus::putReadRequest(pduBuffer, startRef, count);
    int r = transact(slaveAddr, modbus::ReadHoldingRegisters, pduBuffer, length, pduBuffer, 2 * count + 1);
    if (r == Success)
        r = modbus::checkReadReply(pduBuffer, count);
    if (r != Success)
        return r;
    for (int i = 0; i < count; ++i)
        values[i] = static_cast<int16_t>((pduBuffer[1 + 2 * i] << 8) | pduBuffer[2 + 2 * i]);
    return Success;
}

int MbusMasterFunctions::writeMultipleRegisters(int slaveAddr, int startRef, const int16_t values[],
                                                int count)
{
    if (values == nullptr || slaveAddr < 0 || slaveAddr > 255 || startRef < 1 || startRef > 65536 ||
        count < 1 || count > 100)
        return IllegalArgument;

    const int length = modbus::putWriteRequest(pduBuffer, startRef, values, count);
    const int r = transact(slaveAddr, modbus::WriteMultipleRegisters, pduBuffer, length, pduBuffer, 4);
    if (r != Success || slaveAddr == 0)
        return r;
    return modbus::checkWriteReply(pduBuffer, count);
}

int MbusMasterFunctions::customRequest(int slaveAddr, int functionCode, const uint8_t request[],
                                       int requestLen, uint8_t reply[], int replyLen)
{
    if (reply != nullptr && replyLen > 0)
        std::memset(reply, 0, static_cast<size_t>(replyLen));
    if (slaveAddr < 1 || slaveAddr > 255)
        return IllegalArgument;
    // Lengths beyond the wire buffers, and missing buffers, are refused before any traffic.
    if (requestLen < 0 || requestLen > MaxDataLength || replyLen < 0 || replyLen > MaxDataLength ||
        (request == nullptr && requestLen > 0) || (reply == nullptr && replyLen > 0))
        return IllegalArgument;
    return transact(slaveAddr, functionCode, request, requestLen, reply, replyLen);
}

int MbusMasterFunctions::transact(int slaveAddr, int functionCode, const uint8_t request[], int requestLen,
                                  uint8_t reply[], int replyLen)
{
    if (!isOpen())
        return cancelRequested() ? Cancelled : IllegalState;
    for (attempt = 0;; ++attempt) {
        if (cancelRequested())
            return Cancelled;
        receivedLength = 0;
        const int r = transactOnce(slaveAddr, functionCode, request, requestLen, reply, replyLen);
        observeEnd(r, pduOffset());
        const int recovered = recover(r);
        if (recovered != Success)
            return recovered;
        if (!retryable(r) || attempt >= retryCount)
            return r;
    }
}

int MbusMasterFunctions::applyPollDelay()
{
    if (pollDelay > 0) {
        // The rest of the delay, to the nearest millisecond, as PollTimer::wait() would sleep.
        const auto ms = static_cast<int>((pollTimer.remaining() + 5000) / 10000);
        if (ms > 0 && waitForFd(-1, 0, ms, cancelSignal.fd()) == kWoken)
            return Cancelled;
    }
    if (cancelRequested())
        return Cancelled;
    pollTimer.arm(static_cast<uint32_t>(pollDelay));
    return Success;
}
