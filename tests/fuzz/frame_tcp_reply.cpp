// Any reply through the TCP reply check, without a socket: built, with any header, or raw.

#include "FrameReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Framing tcp{modbus::buildTcpRequest, modbus::TcpReplyHead, modbus::tcpReplyLength,
                             modbus::checkTcpReply, false};
    fuzzFrameReply(tcp, data, size);
    return 0;
}
