#pragma once

#include "modbus/FdWait.h"
#include "modbus/MbusError.h"
#include "modbus/ModbusNumbers.h"
#include "modbus/PollTimer.h"
#include "modbus/TrafficObserver.h"

#include <cstdint>

// Transport-independent part of a Modbus master: settings shared by all
// transports, the register operations and the custom request. Operations
// return an MbusError code. Not safe for concurrent use; callers serialise,
// except cancel(), which any thread may call at any time.
class MbusMasterFunctions
{
  public:
    // Largest request or reply data length (after the function code) that
    // fits the wire buffer of every transport.
    static constexpr int MaxDataLength = modbus::MaxDataLength;

    MbusMasterFunctions() = default;
    MbusMasterFunctions(const MbusMasterFunctions &) = delete;
    MbusMasterFunctions &operator=(const MbusMasterFunctions &) = delete;
    virtual ~MbusMasterFunctions();

    virtual bool isOpen() const { return false; }
    virtual void close() {}

    // Settings may change only while closed: 1 for a value out of range
    // (checked first), 2 while open, else 0.
    int setTimeout(int ms);   // 1 to 100000 ms, each wait on the wire
    int setPollDelay(int ms); // 0 to 100000 ms between the starts of two attempts
    int setRetryCount(int n); // 0 to 10 extra attempts
    int getTimeout() const { return timeout; }
    int getPollDelay() const { return pollDelay; }
    int getRetryCount() const { return retryCount; }

    // Ends the operation in progress with 3 (Cancelled) at once: every wait on
    // the wire, the connect and the poll delay end, and no further attempt
    // starts. Holds for every later operation until clearCancel(). A TCP master
    // is left closed when a connect or an exchange was cut short (a reply may
    // still come on that connection); a serial master stays open and waits for
    // the reply still owed before its next request.
    void cancel() { cancelSignal.raise(); }
    void clearCancel() { cancelSignal.clear(); }
    bool cancelRequested() const { return cancelSignal.raised(); }

    // Told of every attempt and open from then on; nullptr (the default) for none, which costs a
    // pointer test per attempt. Set while no operation runs.
    void setTrafficObserver(TrafficObserver *observer) { trafficObserver = observer; }

    // Function 3 (ReadHoldingRegisters). References are 1-based; slave 1..255, count 1..125.
    // values[0..count-1] are 0 unless the read succeeds.
    int readHoldingRegisters(int slaveAddr, int startRef, int16_t values[], int count);
    // Function 16 (WriteMultipleRegisters). Slave 0..255 (0 = broadcast), count 1..100.
    int writeMultipleRegisters(int slaveAddr, int startRef, const int16_t values[], int count);
    // Any function code; the reply is exactly replyLen bytes after the function
    // code. Lengths from 0 to MaxDataLength, else 1. request and reply may overlap.
    int customRequest(int slaveAddr, int functionCode, const uint8_t request[], int requestLen,
                      uint8_t reply[], int replyLen);

  protected:
    // Sends functionCode + request to slaveAddr and reads replyLen bytes after
    // the function code, trying again up to retryCount times while an attempt
    // fails in a way the transport calls retryable. A cancel ends the loop
    // between attempts. 2 when closed.
    int transact(int slaveAddr, int functionCode, const uint8_t request[], int requestLen, uint8_t reply[],
                 int replyLen);
    // One attempt on the wire.
    virtual int transactOnce(int slaveAddr, int functionCode, const uint8_t request[], int requestLen,
                             uint8_t reply[], int replyLen) = 0;
    virtual bool retryable(int result) const = 0;
    // The transport's step after every attempt, before the loop decides on a
    // retry: Success lets the loop go on, anything else ends the transaction
    // with that result.
    virtual int recover(int result) = 0;
    // Where the PDU starts in the frames the observer is shown.
    virtual int pduOffset() const = 0;

    // Stores value in setting when it is in low..high and the master is closed; the setters' result.
    int setSetting(int &setting, int value, int low, int high);
    // Called by the transports at the start of every attempt, just before
    // sending: 0, or 3 when cancelled before or during the wait.
    int applyPollDelay();
    // The transports tell the observer from these. An attempt's reply bytes are noted in
    // receivedFrame/receivedLength as they are read; the retry loop reports the end.
    void observeOpened()
    {
        if (trafficObserver)
            trafficObserver->linkOpened();
    }
    void markSending()
    {
        if (trafficObserver)
            sendingAtUs = steadyUs();
    }
    void observeSent(const uint8_t frame[], int length, int pduOffset)
    {
        if (trafficObserver)
            trafficObserver->requestSent(frame, length, pduOffset, sendingAtUs);
    }
    void observeEnd(int result, int pduOffset)
    {
        if (trafficObserver)
            trafficObserver->attemptEnded(receivedFrame, receivedLength, pduOffset, result, attempt);
    }

    int retryCount = 0;
    int timeout = 1000;
    int pollDelay = 0;
    PollTimer pollTimer;
    WakeSignal cancelSignal; // polled beside the line by every wait
    uint8_t pduBuffer[modbus::MaxDataLength] = {};
    TrafficObserver *trafficObserver = nullptr;
    const uint8_t *receivedFrame = nullptr;
    int receivedLength = 0;
    int64_t sendingAtUs = 0;
    int attempt = 0; // of the transaction in progress, 0 for the first
};
