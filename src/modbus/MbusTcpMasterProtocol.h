#pragma once

#include "modbus/MbusMasterFunctions.h"

#include <netinet/in.h>

// Modbus TCP master: MBAP framing, a bounded non-blocking connect, and a
// reconnect after every reply time-out or invalid reply.
//
// Stale input is flushed before each request for at most `timeout` ms; a peer
// that keeps sending for that long ends the attempt with 132 (ReplyTimeout),
// which reconnects and retries like any other reply time-out. A reply that
// did not come in time therefore never meets a later request: it would arrive
// on a connection that is closed.
class MbusTcpMasterProtocol : public MbusMasterFunctions
{
  public:
    ~MbusTcpMasterProtocol() override;

    // Takes effect at the next open.
    void setPort(unsigned short tcpPort) { port = tcpPort; }
    unsigned short getPort() const { return port; }

    // hostName: dotted IPv4 address or a host name (first IPv4 address).
    // 2 while open; 68 when the name cannot be resolved or the connection is
    // refused or not made within the time-out; 66 when no socket can be made.
    int open(const char *hostName);

    bool isOpen() const override { return socketHandle >= 0; }
    void close() override;

  protected:
    int transactOnce(int slaveAddr, int functionCode, const uint8_t request[], int requestLen,
                     uint8_t reply[], int replyLen) override;
    // Invalid frames, invalid replies and reply time-outs.
    bool retryable(int result) const override;
    // A reply that may still come is kept from the next request: after a
    // cancel the connection is closed, after a retryable failure (also the
    // last) it is made anew.
    int recover(int result) override;
    int pduOffset() const override { return modbus::TcpPduOffset; }

  private:
    int connectSocket();
    int reconnect();
    int receive(int &have, int want, int upTo); // until `want` bytes, reading at most `upTo`
    int flushInput();

    uint8_t adu[modbus::MaxFrameLength] = {};
    int socketHandle = -1;
    unsigned short port = 502;
    sockaddr_in peerAddress = {};
};
