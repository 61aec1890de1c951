#include "modbus/MbusError.h"

namespace
{

struct ErrorEntry {
    int code;
    const char *text;
};

constexpr ErrorEntry kErrorTable[] = {
    {Success, "Operation was successful"},
    {IllegalArgument, "Illegal argument error"},
    {IllegalState, "Illegal state error"},
    {Cancelled, "Operation cancelled"},
    {NoDataTable, "No data table configured"},
    {IllegalSlaveAddress, "Slave address 0 is illegal in this context"},
    {IoErrorClass, "I/O error class"},
    {IoError, "I/O error"},
    {OpenError, "Port or socket open error"},
    {PortAlreadyOpen, "Serial port already open"},
    {ConnectionError, "TCP/IP connection error"},
    {ConnectionClosed, "TCP/IP connection was closed by remote peer"},
    {SocketLibraryError, "Socket library error"},
    {PortAlreadyBound, "TCP Port alread bound"},
    {ListenFailed, "Listen failed"},
    {FileDescriptorsExceeded, "File descriptors exceeded"},
    {PortNoAccess, "No permission to access serial or TCP port"},
    {PortNotAvailable, "TCP Port not available"},
    {ProtocolErrorClass, "Fieldbus protocol error class"},
    {ChecksumError, "Checksum error"},
    {InvalidFrame, "Invalid frame error"},
    {InvalidReply, "Invalid reply error"},
    {ReplyTimeout, "Reply time-out"},
    {SendTimeout, "Send time-out"},
    {ExceptionResponse, "Modbus exception response"},
    {IllegalFunctionException, "Illegal Function exception response"},
    {IllegalDataAddressException, "Illegal Data Address exception response"},
    {IllegalDataValueException, "Illegal Data Value exception response"},
    {SlaveDeviceFailureException, "Slave Device Failure exception response"},
    {0, nullptr},
};

} // namespace

const char *errorText(int code)
{
    const ErrorEntry *entry = kErrorTable;
    for (; entry->text != nullptr; ++entry) {
        if (entry->code == code)
            return entry->text;
    }
    return "Unknown error";
}
