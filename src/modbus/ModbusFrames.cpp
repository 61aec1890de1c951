#include "modbus/ModbusFrames.h"

#include "modbus/Crc16.h"

#include <cstring>

namespace modbus
{

namespace
{

constexpr int IdHeaderLength = 6; // MEI type, read code, conformity, more follows, next id, object count

void putWord(uint8_t out[], int value)
{
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

int wordAt(const uint8_t in[])
{
    return in[0] << 8 | in[1];
}

bool isException(uint8_t function)
{
    return (function & ExceptionFlag) != 0;
}

// The part both transports share once the framing is checked: the function must be ours, an
// exception gives its result, else the data is copied out.
int acceptPdu(const uint8_t pdu[], int function, uint8_t reply[], int replyLength)
{
    if ((pdu[0] & ~ExceptionFlag) != function)
        return InvalidFrame;
    if (isException(pdu[0]))
        return exceptionResult(pdu[1]);
    if (replyLength > 0)
        std::memcpy(reply, pdu + 1, static_cast<size_t>(replyLength));
    return Success;
}

} // namespace

int buildRtuRequest(uint8_t frame[], int slave, int function, const uint8_t data[], int dataLength)
{
    if (dataLength > 0)
        std::memmove(frame + RtuPduOffset + 1, data, static_cast<size_t>(dataLength));
    frame[0] = static_cast<uint8_t>(slave);
    frame[1] = static_cast<uint8_t>(function);
    const int length = RtuPduOffset + 1 + dataLength;
    const uint16_t crc = crc16(frame, length);
    frame[length] = static_cast<uint8_t>(crc);
    frame[length + 1] = static_cast<uint8_t>(crc >> 8);
    return length + CrcLength;
}

int buildTcpRequest(uint8_t adu[], int slave, int function, const uint8_t data[], int dataLength)
{
    if (dataLength > 0)
        std::memmove(adu + TcpPduOffset + 1, data, static_cast<size_t>(dataLength));
    adu[0] = adu[1] = adu[2] = adu[3] = 0;
    putWord(adu + 4, dataLength + 2); // unit and function code count too
    adu[6] = static_cast<uint8_t>(slave);
    adu[7] = static_cast<uint8_t>(function);
    return TcpPduOffset + 1 + dataLength;
}

int rtuReplyLength(const uint8_t head[RtuReplyHead], int replyLength)
{
    const int full = RtuPduOffset + 1 + replyLength + CrcLength;
    return isException(head[1]) || full < RtuReplyHead ? RtuReplyHead : full;
}

int tcpReplyCapacity(int replyLength)
{
    const int full = TcpPduOffset + 1 + replyLength;
    return full < TcpReplyHead ? TcpReplyHead : full;
}

int tcpReplyLength(const uint8_t head[TcpReplyHead], int replyLength)
{
    return isException(head[TcpPduOffset]) ? TcpReplyHead : tcpReplyCapacity(replyLength);
}

int checkRtuReply(const uint8_t frame[], int length, int slave, int function, uint8_t reply[],
                  int replyLength)
{
    if (length < RtuReplyHead || length != rtuReplyLength(frame, replyLength))
        return InvalidFrame;
    if (crc16(frame, length - CrcLength) != (frame[length - 2] | (frame[length - 1] << 8)))
        return ChecksumError;
    if (frame[0] != slave)
        return InvalidFrame;
    return acceptPdu(frame + RtuPduOffset, function, reply, replyLength);
}

int checkTcpReply(const uint8_t adu[], int length, int slave, int function, uint8_t reply[], int replyLength)
{
    if (length < TcpReplyHead || length != tcpReplyLength(adu, replyLength))
        return InvalidFrame;
    // Transaction, protocol and length fields are not compared: analyzers that fill them in
    // their own way are still read.
    if (adu[6] != slave && adu[6] != 0)
        return InvalidFrame;
    return acceptPdu(adu + TcpPduOffset, function, reply, replyLength);
}

int putReadRequest(uint8_t data[], int startRef, int count)
{
    putWord(data, startRef - 1);
    putWord(data + 2, count);
    return 4;
}

int putWriteRequest(uint8_t data[], int startRef, const int16_t values[], int count)
{
    putReadRequest(data, startRef, count);
    data[4] = static_cast<uint8_t>(2 * count);
    for (int i = 0; i < count; ++i)
        putWord(data + 5 + 2 * i, static_cast<uint16_t>(values[i]));
    return 5 + 2 * count;
}

int checkReadReply(const uint8_t data[], int count)
{
    return data[0] == static_cast<uint8_t>(2 * count) ? Success : InvalidReply;
}

int checkWriteReply(const uint8_t data[], int count)
{
    // Only the echoed quantity is compared, not the echoed start address.
    return wordAt(data + 2) == count ? Success : InvalidReply;
}

void putRecordRequest(uint8_t data[record_request::Length], int file, int record)
{
    using namespace record_request;
    data[ByteCount] = SubRequestLength;
    data[ReferenceType] = Reference;
    putWord(data + File, file);
    putWord(data + RecordNumber, record);
    putWord(data + RecordLength, 1);
}

uint8_t parseRecordRequest(const uint8_t data[], size_t length, RecordRequest &out)
{
    using namespace record_request;
    // Sub-requests come in sevens, up to what one PDU holds.
    constexpr uint8_t mostSubRequestBytes = 0xF5;
    if (length < 1 || data[ByteCount] < SubRequestLength || data[ByteCount] > mostSubRequestBytes ||
        data[ByteCount] % SubRequestLength != 0 || length != 1u + data[ByteCount])
        return IllegalDataValue;
    if (data[ByteCount] != SubRequestLength || data[ReferenceType] != Reference ||
        wordAt(data + RecordLength) != 1)
        return IllegalDataAddress;
    out.file = wordAt(data + File);
    out.record = wordAt(data + RecordNumber);
    return 0;
}

int splitIdentification(const uint8_t reply[], int length, IdObject objects[], int count)
{
    // Each object: id, length, text; the id is skipped.
    int lengthPos = IdHeaderLength + 1;
    for (int i = 0; i < count; ++i) {
        if (lengthPos >= length)
            return i;
        const int textPos = lengthPos + 1;
        const int textLength = reply[lengthPos];
        if (textPos + textLength > length)
            return i;
        objects[i] = {reply + textPos, textLength};
        lengthPos = textPos + textLength + 1;
    }
    return count;
}

} // namespace modbus
