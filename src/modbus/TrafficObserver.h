#pragma once

#include <cstdint>

// Watches a master's traffic. The master calls it on the thread that runs the transaction, so each
// call must return quickly, must not allocate if the caller counts on an allocation-free stack, and
// must not call back into the master. Byte buffers are valid during the call only.
class TrafficObserver
{
  public:
    // The link was opened: by open(), or by a reconnect of the master itself.
    virtual void linkOpened() = 0;
    // A request frame went on the wire whole: MBAP header or address, the PDU from pduOffset on, and
    // the CRC on RTU. startUs (steadyUs()) is when the write began: the slave may have answered
    // before the write call returned.
    virtual void requestSent(const uint8_t frame[], int length, int pduOffset, int64_t startUs) = 0;
    // An attempt ended with an MbusError result. reply holds what was read for it: nothing, part of a
    // frame, or a whole one; its PDU starts at pduOffset. attempt counts the transaction's retries
    // (0 for the first attempt).
    virtual void attemptEnded(const uint8_t reply[], int length, int pduOffset, int result, int attempt) = 0;

  protected:
    ~TrafficObserver() = default;
};
