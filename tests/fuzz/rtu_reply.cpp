// Arbitrary slave replies through the RTU master on a pseudo-terminal.

#include "FuzzCheck.h"
#include "MasterExchanges.h"

#include "modbus/MbusRtuMasterProtocol.h"

namespace
{

struct Link {
    FuzzPeer peer{Framing::Rtu}; // first, so that it outlives the master
    MbusRtuMasterProtocol master;

    Link()
    {
        master.setTimeout(kFuzzTimeoutMs);
        master.setRetryCount(0);
        // 38400 baud: one millisecond of idle line before each request.
        FUZZ_CHECK(master.open(peer.ptyPath().c_str(), 38400, 8, 1, MbusSerialMasterProtocol::NoParity) ==
                   Success);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Link link;
    FuzzInput in(data, size);
    runMasterExchanges(link.master, link.peer, in, [](int, bool) {});
    FUZZ_CHECK(link.master.isOpen());
    return 0;
}
