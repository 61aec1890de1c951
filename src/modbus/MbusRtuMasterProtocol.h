#pragma once

#include "modbus/MbusSerialMasterProtocol.h"

// Modbus RTU master: frames with CRC-16, an idle line before each request.
//
// The idle-line wait before sending is capped at `timeout`: a line that never
// stays quiet for frameSilence ms within that time ends the attempt with 132
// (ReplyTimeout), which is retried like any other reply time-out.
class MbusRtuMasterProtocol : public MbusSerialMasterProtocol
{
  public:
    using MbusSerialMasterProtocol::open;

    ~MbusRtuMasterProtocol() override;

    // 8 data bits only (else 1). Sets frameSilence from the baud rate first.
    int open(const char *portName, int baudRate, int dataBits, int stopBits, int parity) override;

    // Idle time in ms that separates frames: four 11-bit characters, at least 1 ms.
    int getFrameSilence() const { return frameSilence; }

  protected:
    int transactOnce(int slaveAddr, int functionCode, const uint8_t request[], int requestLen,
                     uint8_t reply[], int replyLen) override;

  private:
    int frameSilence = 1;
    uint8_t frame[268] = {};
};
