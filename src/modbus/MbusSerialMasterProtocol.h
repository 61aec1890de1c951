#pragma once

#include "modbus/MbusMasterFunctions.h"
#include "modbus/SerialPort.h"

// Serial-line master: opens and closes the line and says which failed attempts
// are retried; a subclass supplies the framing in transactOnce.
class MbusSerialMasterProtocol : public MbusMasterFunctions
{
  public:
    enum Parity { NoParity = 0, OddParity = 1, EvenParity = 2 };

    MbusSerialMasterProtocol();
    ~MbusSerialMasterProtocol() override;

    bool isOpen() const override;
    void close() override;

    // portName is a device path. dataBits 7/8, stopBits 1/2, parity 0/1/2.
    // 2 while open; 1 for bad settings or a speed the driver refuses; 66 for
    // a missing device or other open failure; 67 when the port is in use;
    // 74 when the user may not open the device.
    virtual int open(const char *portName, int baudRate, int dataBits, int stopBits, int parity);
    // 8 data bits, 1 stop bit, even parity.
    virtual int open(const char *portName, int baudRate);
    // 0 keeps RTS high while open; above 0 raises RTS around each transmission
    // and holds it that many ms after the frame has drained. 0 to 100000.
    virtual int setRtsDelay(int ms);

  protected:
    // Checksum errors, invalid frames and reply time-outs.
    bool retryable(int result) const override;
    // When an attempt timed out and a later one succeeded, a slave that repeats
    // itself may still send: the line is then listened to until it has been
    // quiet for `timeout` ms (at most twice that). A reply owed to a timed-out
    // attempt is waited for by the subclass before it sends anything else.
    int recover(int result) override;

    void discardLateReplies();

    SerialPort serialPort;
    int rtsToggle = 0;
    int rtsDelay = 0;

  private:
    bool timedOut = false; // an attempt of the transaction in progress
};
