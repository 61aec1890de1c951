// The simulator's request side on any bytes: the RTU framer cutting a line's bytes into frames
// at any pace, and the analyzer answering any PDU.

#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "Analyzer.h"
#include "RtuFramer.h"
#include "modbus/Crc16.h"
#include "modbus/ModbusNumbers.h"

#include <vector>

namespace
{

// Every reply is the request's function with data, or that function flagged with one of the
// exception codes the analyzer uses, and fits a PDU.
void answer(Analyzer &analyzer, const uint8_t *pdu, size_t length)
{
    const std::vector<uint8_t> reply = analyzer.handle(pdu, length);
    if (length == 0) {
        FUZZ_CHECK(reply.empty());
        return;
    }
    FUZZ_CHECK(!reply.empty() && reply.size() <= 1u + modbus::MaxDataLength);
    if (reply[0] == (pdu[0] | modbus::ExceptionFlag) && reply.size() == 2) {
        FUZZ_CHECK(reply[1] >= modbus::IllegalFunction && reply[1] <= modbus::IllegalDataValue);
        return;
    }
    FUZZ_CHECK(reply[0] == pdu[0] && (pdu[0] & modbus::ExceptionFlag) == 0);
}

void frameLine(Analyzer &analyzer, FuzzInput &in)
{
    RtuFramer framer(in.flag() ? 9600 : 38400);
    RtuFramer::Clock::time_point now{};
    // A few bursts are enough to cut and join frames; longer inputs only slow the search down.
    for (int bursts = 0; bursts < 16 && !in.empty(); ++bursts) {
        // A pause (in 100 µs steps, at times past the silence), then a burst of bytes.
        now += std::chrono::microseconds(100 * in.byte());
        const std::vector<uint8_t> burst = in.bytes(in.byte() % 64);
        framer.feed(burst.data(), burst.size(), now);
        if (in.flag())
            framer.idle(now + std::chrono::milliseconds(
                                  framer.idleTimeoutMs(now) < 0 ? 0 : framer.idleTimeoutMs(now)));
        while (framer.hasFrame()) {
            const std::vector<uint8_t> f = framer.takeFrame();
            FUZZ_CHECK(f.size() >= 4 && f.size() <= 256);
            const uint16_t crc = crc16(f.data(), static_cast<int>(f.size() - 2));
            FUZZ_CHECK(f[f.size() - 2] == (crc & 0xFF) && f[f.size() - 1] == (crc >> 8));
            answer(analyzer, f.data() + 1, f.size() - 3);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const SimOptions options;
    FuzzInput in(data, size);
    Analyzer analyzer(options); // a fresh one, so writes of one input do not shape the next
    if (in.flag()) {
        frameLine(analyzer, in);
    } else {
        const std::vector<uint8_t> pdu = in.rest();
        answer(analyzer, pdu.data(), pdu.size());
    }
    return 0;
}
