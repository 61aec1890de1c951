#pragma once

#include "modbus/MbusSerialMasterProtocol.h"

#include <algorithm>

// Modbus RTU master: frames with CRC-16, an idle line before each request.
//
// A request goes out once the line has been quiet for the frame silence since
// its last byte (received, or of our own last frame), not a silence more: time
// the line was already quiet counts. The wait is capped at `timeout`: a line
// that never stays quiet that long ends the attempt with 132 (ReplyTimeout),
// which is retried like any other reply time-out.
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

    // 8 data bits only (else 1). Sets the frame silence from the baud rate first.
    int open(const char *portName, int baudRate, int dataBits, int stopBits, int parity) override;

    // Idle time that separates frames, four 11-bit characters, in ms rounded to
    // the nearest and at least 1; the line is timed to the microsecond.
    int getFrameSilence() const { return std::max<int>(1, static_cast<int>((frameSilenceUs + 500) / 1000)); }

  protected:
    int transactOnce(int slaveAddr, int functionCode, const uint8_t request[], int requestLen,
                     uint8_t reply[], int replyLen) override;
    int pduOffset() const override { return modbus::RtuPduOffset; }

  private:
    int owe(int result); // marks the reply of the attempt just sent as still owed
    int awaitOwedReply();
    enum class Line { Quiet, Busy, Woken };
    // Drops what arrives until the line has been quiet for frameSilenceUs; Busy
    // when that has not happened by giveUpUs (steadyUs()).
    Line awaitQuietLine(int64_t giveUpUs);

    int64_t frameSilenceUs = 1000;
    int64_t owedUntil = 0; // steady ms; 0 when no reply is owed
    uint8_t frame[modbus::MaxFrameLength] = {};
};
