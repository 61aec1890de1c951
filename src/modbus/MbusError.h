#pragma once

// Result code of every operation of the Modbus stack; 0 is success.
// General errors are below 64, input/output errors from 64, protocol errors
// from 128, and an exception reply gives 160 plus the exception code.
enum MbusError : int {
    Success = 0,
    IllegalArgument = 1,
    IllegalState = 2,
    Cancelled = 3, // cancel() ended the operation
    NoDataTable = 4,
    IllegalSlaveAddress = 5,
    IoErrorClass = 64,
    IoError = 65,
    OpenError = 66,
    PortAlreadyOpen = 67,
    ConnectionError = 68,
    ConnectionClosed = 69,
    SocketLibraryError = 70,
    PortAlreadyBound = 71,
    ListenFailed = 72,
    FileDescriptorsExceeded = 73,
    PortNoAccess = 74,
    PortNotAvailable = 75,
    ProtocolErrorClass = 128,
    ChecksumError = 129,
    InvalidFrame = 130,
    InvalidReply = 131,
    ReplyTimeout = 132,
    SendTimeout = 133,
    ExceptionResponse = 160,
    IllegalFunctionException = 161,
    IllegalDataAddressException = 162,
    IllegalDataValueException = 163,
    SlaveDeviceFailureException = 164,
};

// Fixed English text of a result code; "Unknown error" for codes not in the table. Never null.
const char *errorText(int code);
