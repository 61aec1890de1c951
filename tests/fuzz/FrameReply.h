#pragma once

#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "modbus/ModbusFrames.h"

#include <algorithm>
#include <vector>

// One transport's framing, as the reply targets drive it.
struct Framing {
    int (*build)(uint8_t frame[], int slave, int function, const uint8_t data[], int dataLength);
    int head;
    int (*replyLength)(const uint8_t head[], int replyLength);
    int (*check)(const uint8_t frame[], int length, int slave, int function, uint8_t reply[],
                 int replyLength);
    bool crc;
};

// Input: how, slave, function, reply length, then the reply's unit and function when foreign,
// then its data. `how`: bits 0-1 a frame built around the data, an exception, or the data as raw
// bytes; bit 2 a foreign unit, bit 3 a foreign function, bit 4 a damaged last byte, bit 5 any
// bytes in the header before the unit.
inline void fuzzFrameReply(const Framing &framing, const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t how = in.byte();
    const int slave = in.byte();
    const int function = in.byte() & 0x7F;
    const int replyLength = in.word() % (modbus::MaxDataLength + 1);
    const int unit = how & 4 ? in.byte() : slave;
    const int replyFunction = how & 8 ? in.byte() : function;
    const int kind = how & 3;

    // Built requests and replies share one layout; the buffer is exactly as large as promised.
    std::vector<uint8_t> stream(modbus::MaxFrameLength);
    int streamLength;
    std::vector<uint8_t> payload;
    if (kind == 2) {
        payload = in.bytes(1);
        streamLength =
            framing.build(stream.data(), unit, replyFunction | modbus::ExceptionFlag, payload.data(), 1);
    } else if (kind == 3) {
        payload = in.bytes(std::min<size_t>(in.word(), stream.size()));
        std::copy(payload.begin(), payload.end(), stream.begin());
        streamLength = static_cast<int>(payload.size());
    } else {
        payload = in.bytes(static_cast<size_t>(replyLength));
        streamLength = framing.build(stream.data(), unit, replyFunction, payload.data(), replyLength);
    }
    if (how & 16 && streamLength > 0)
        stream[static_cast<size_t>(streamLength - 1)] ^= 0x5A;
    const int headerBytes = framing.crc ? 0 : modbus::MbapLength - 1;
    if (how & 32)
        for (int i = 0; i < headerBytes && i < streamLength; ++i)
            stream[static_cast<size_t>(i)] = in.byte();

    // As the transport reads: the head, then up to the expected length; less is a time-out.
    if (streamLength < framing.head)
        return;
    const int length = framing.replyLength(stream.data(), replyLength);
    FUZZ_CHECK(length >= framing.head && length <= modbus::MaxFrameLength);
    if (streamLength < length)
        return;
    const std::vector<uint8_t> frame(stream.begin(), stream.begin() + length);
    std::vector<uint8_t> reply(static_cast<size_t>(replyLength), 0xEE);
    const int verdict = framing.check(frame.data(), length, slave, function, reply.data(), replyLength);

    const int pdu = framing.crc ? modbus::RtuPduOffset : modbus::TcpPduOffset;
    const bool unitOk = frame[static_cast<size_t>(pdu - 1)] == slave || (!framing.crc && frame[pdu - 1] == 0);
    const bool functionOk = (frame[static_cast<size_t>(pdu)] & 0x7F) == function;
    const bool exception = (frame[static_cast<size_t>(pdu)] & modbus::ExceptionFlag) != 0;
    if (verdict == Success) {
        FUZZ_CHECK(unitOk && functionOk && !exception);
        FUZZ_CHECK(std::equal(reply.begin(), reply.end(), frame.begin() + pdu + 1));
    } else if (verdict >= ExceptionResponse || verdict < 0) {
        FUZZ_CHECK(unitOk && functionOk && exception);
        FUZZ_CHECK(verdict == modbus::exceptionResult(frame[static_cast<size_t>(pdu + 1)]));
    } else {
        FUZZ_CHECK(verdict == InvalidFrame || (framing.crc && verdict == ChecksumError));
    }

    // A frame built whole, and read whole, must get the verdict its parts call for.
    if (kind == 3 || how & 16 || length != streamLength)
        return;
    if (!unitOk || !functionOk)
        FUZZ_CHECK(verdict == InvalidFrame);
    else if (exception)
        FUZZ_CHECK(verdict ==
                   modbus::exceptionResult(kind == 2 ? payload[0] : frame[static_cast<size_t>(pdu + 1)]));
    else
        FUZZ_CHECK(verdict == Success && std::equal(reply.begin(), reply.end(), payload.begin()));
}
