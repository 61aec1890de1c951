#pragma once

#include "modbus/MbusSerialMasterProtocol.h"

// Modbus RTU master: frames with CRC-16, an idle line before each request.
//
// The idle-line wait before sending is capped at `timeout`: a line that never
// stays quiet for frameSilence ms within that time ends the attempt with 132
// (ReplyTimeout), which is retried like any other reply time-out.
//
// At most one request is outstanding on the line: a slave that queues
// requests answers a timed-out one late, so after an attempt whose reply did
// not come (time-out, a frame of another slave, a cancel) nothing is sent until
// that reply has come and been discarded, or one more `timeout` has passed.
// This holds across retries, transactions and a close and open of the port.
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
    int owe(int result); // marks the reply of the attempt just sent as still owed
    int awaitOwedReply();

    int frameSilence = 1;
    int64_t owedUntil = 0; // steady ms; 0 when no reply is owed
    uint8_t frame[modbus::MaxFrameLength] = {};
};
