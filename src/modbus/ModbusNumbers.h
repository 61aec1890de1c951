#pragma once

#include <cstdint>

// The protocol's numbers, for the stack, the worker and the simulator alike.
namespace modbus
{

enum Function : uint8_t {
    ReadHoldingRegisters = 3,
    WriteMultipleRegisters = 16,
    ReadFileRecord = 20,
    EncapsulatedInterface = 43,
};

// Set in the function code of an exception reply.
constexpr uint8_t ExceptionFlag = 0x80;

enum Exception : uint8_t {
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    SlaveDeviceFailure = 4,
};

constexpr int MaxReadRegisters = 125;
constexpr int MaxWriteRegisters = 123;
// Request or reply data after the function code that the wire buffers hold.
constexpr int MaxDataLength = 260;
// MBAP header, unit and function code (or address, function code and CRC) around MaxDataLength.
constexpr int MaxFrameLength = 268;

constexpr int MbapLength = 7; // transaction, protocol, length, unit
constexpr int TcpPduOffset = MbapLength;
constexpr int RtuPduOffset = 1; // after the slave address
constexpr int CrcLength = 2;

// Read Device Identification inside function 43.
constexpr uint8_t MeiDeviceIdentification = 0x0E;
constexpr uint8_t ReadBasicIdentification = 1;
constexpr uint8_t ReadOneObject = 4;

// Function 20 with one sub-request: byte count, reference type, file, record number, record length.
namespace record_request
{
constexpr int ByteCount = 0;
constexpr int ReferenceType = 1;
constexpr int File = 2;         // high byte first
constexpr int RecordNumber = 4; // high byte first
constexpr int RecordLength = 6; // high byte first, in registers
constexpr int Length = 8;
constexpr uint8_t SubRequestLength = 7;
constexpr uint8_t Reference = 6;
} // namespace record_request

} // namespace modbus
