#pragma once

#include "modbus/MbusError.h"
#include "modbus/ModbusNumbers.h"

#include <cstddef>
#include <cstdint>

// Request building and reply checking of both transports, on bytes only: no I/O, no allocation.
// Verdicts are MbusError codes. `frame` buffers hold MaxFrameLength bytes; data lengths are
// 0..MaxDataLength (the master checks them before it builds).
namespace modbus
{

// The frame to send; returns its length. data may lie inside frame's PDU (it is moved).
int buildRtuRequest(uint8_t frame[], int slave, int function, const uint8_t data[], int dataLength);
// Transaction and protocol identifiers are 0.
int buildTcpRequest(uint8_t adu[], int slave, int function, const uint8_t data[], int dataLength);

// A reply is read in two steps: the head, long enough to tell an exception, then the rest up to
// the length the caller expects (the reply's own length field is not trusted).
constexpr int RtuReplyHead = 5;
constexpr int TcpReplyHead = 9;
int rtuReplyLength(const uint8_t head[RtuReplyHead], int replyLength);
int tcpReplyLength(const uint8_t head[TcpReplyHead], int replyLength);
// Most bytes a TCP reply for replyLength data may take.
int tcpReplyCapacity(int replyLength);

// Verdict on a whole reply frame of `length` bytes (as long as *ReplyLength gave) to a request
// for `function` at `slave`: Success with replyLength data bytes copied to reply, an exception's
// result, ChecksumError (RTU), or InvalidFrame for another slave's or function's frame or a
// length other than expected. A TCP reply from unit 0 is accepted for any slave, and its MBAP
// header beyond the unit is not compared.
int checkRtuReply(const uint8_t frame[], int length, int slave, int function, uint8_t reply[],
                  int replyLength);
int checkTcpReply(const uint8_t adu[], int length, int slave, int function, uint8_t reply[], int replyLength);

// Result of an exception reply carrying this exception code byte.
inline int exceptionResult(uint8_t code)
{
    return static_cast<int8_t>(code) | ExceptionResponse;
}

// Request data of function 3 or 16 (address and count; 16 adds byte count and words); returns its length.
int putReadRequest(uint8_t data[], int startRef, int count);
int putWriteRequest(uint8_t data[], int startRef, const int16_t values[], int count);
// Reply data of function 3: InvalidReply unless its byte count fits count registers.
int checkReadReply(const uint8_t data[], int count);
// Reply data of function 16: InvalidReply unless the echoed quantity is count.
int checkWriteReply(const uint8_t data[], int count);

// Function 20 with one sub-request for one record.
void putRecordRequest(uint8_t data[record_request::Length], int file, int record);
struct RecordRequest {
    int file = 0;
    int record = 0;
};
// The sub-request of a request's data; 0, or the exception code a slave answers with:
// IllegalDataValue for a malformed byte count, IllegalDataAddress for anything but one
// single-register record of reference type 6.
uint8_t parseRecordRequest(const uint8_t data[], size_t length, RecordRequest &out);

// One object of a Read Device Identification reply: text inside the reply buffer.
struct IdObject {
    const uint8_t *text = nullptr;
    int length = 0;
};
// Splits reply data (after the function code) into its objects by position, object ids ignored,
// up to `count`. Stops at the first object that would run past `length`; returns how many fitted.
int splitIdentification(const uint8_t reply[], int length, IdObject objects[], int count);

} // namespace modbus
