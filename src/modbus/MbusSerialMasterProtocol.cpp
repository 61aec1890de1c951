#include "modbus/MbusSerialMasterProtocol.h"

#include <chrono>

MbusSerialMasterProtocol::MbusSerialMasterProtocol()
{
    serialPort.setWakeFd(cancelSignal.fd());
}

MbusSerialMasterProtocol::~MbusSerialMasterProtocol()
{
    MbusSerialMasterProtocol::close();
}

bool MbusSerialMasterProtocol::isOpen() const
{
    return serialPort.isOpen();
}

void MbusSerialMasterProtocol::close()
{
    serialPort.close();
}

int MbusSerialMasterProtocol::open(const char *portName, int baudRate, int dataBits, int stopBits, int parity)
{
    if (isOpen())
        return IllegalState;
    if (dataBits != 7 && dataBits != 8)
        return IllegalArgument;
    switch (serialPort.open(portName)) {
    case SerialResult::Ok:
        break;
    case SerialResult::AccessDenied:
        return PortAlreadyOpen;
    case SerialResult::NoPermission:
        return PortNoAccess;
    default:
        return OpenError;
    }
    if (serialPort.configure(baudRate, dataBits, stopBits, parity) != SerialResult::Ok) {
        serialPort.close();
        return IllegalArgument;
    }
    if (rtsToggle)
        serialPort.clearRts();
    else
        serialPort.setRts();
    observeOpened();
    return Success;
}

int MbusSerialMasterProtocol::open(const char *portName, int baudRate)
{
    return open(portName, baudRate, 8, 1, EvenParity);
}

int MbusSerialMasterProtocol::setRtsDelay(int ms)
{
    const int r = setSetting(rtsDelay, ms, 0, 100000);
    if (r == Success)
        rtsToggle = ms != 0 ? 1 : 0;
    return r;
}

bool MbusSerialMasterProtocol::retryable(int result) const
{
    return result == ChecksumError || result == InvalidFrame || result == ReplyTimeout;
}

int MbusSerialMasterProtocol::recover(int result)
{
    timedOut = (attempt > 0 && timedOut) || result == ReplyTimeout;
    if (result == Success && timedOut)
        discardLateReplies();
    return Success;
}

void MbusSerialMasterProtocol::discardLateReplies()
{
    // Bounded, so a line that never falls quiet cannot hold the caller.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2 * timeout);
    uint8_t discard;
    while (serialPort.read(&discard, 1, timeout) == SerialResult::Ok &&
           std::chrono::steady_clock::now() < deadline) {
    }
}
