// Any reply frame through the RTU reply check, without a line: built, damaged or raw.

#include "FrameReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Framing rtu{modbus::buildRtuRequest, modbus::RtuReplyHead, modbus::rtuReplyLength,
                             modbus::checkRtuReply, true};
    fuzzFrameReply(rtu, data, size);
    return 0;
}
