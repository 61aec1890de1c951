#include "modbus/MbusMasterFunctions.h"

#include <cstring>

namespace
{

// The 0-based start address and the register count, high bytes first, as both register functions
// begin their request.
void putAddressAndCount(uint8_t pdu[], int startRef, int count)
{
    const int address = startRef - 1;
    pdu[0] = static_cast<uint8_t>(address >> 8);
    pdu[1] = static_cast<uint8_t>(address);
    pdu[2] = static_cast<uint8_t>(count >> 8);
    pdu[3] = static_cast<uint8_t>(count);
}

} // namespace

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
    if (slaveAddr < 1 || slaveAddr > 255 || startRef < 1 || startRef > 65536 || count < 1 || count > 125)
        return IllegalArgument;

    putAddressAndCount(pduBuffer, startRef, count);
    const int r = transact(slaveAddr, 3, pduBuffer, 4, pduBuffer, 2 * count + 1);
    if (r != Success)
        return r;
    if (pduBuffer[0] != static_cast<uint8_t>(2 * count))
        return InvalidReply;
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

    putAddressAndCount(pduBuffer, startRef, count);
    pduBuffer[4] = static_cast<uint8_t>(2 * count);
    for (int i = 0; i < count; ++i) {
        const auto word = static_cast<uint16_t>(values[i]);
        pduBuffer[5 + 2 * i] = static_cast<uint8_t>(word >> 8);
        pduBuffer[6 + 2 * i] = static_cast<uint8_t>(word);
    }
    const int r = transact(slaveAddr, 16, pduBuffer, 2 * count + 5, pduBuffer, 4);
    if (r != Success)
        return r;
    // Only the echoed quantity is compared, not the echoed start address.
    if (slaveAddr == 0 || ((pduBuffer[2] << 8) | pduBuffer[3]) == count)
        return Success;
    return InvalidReply;
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
