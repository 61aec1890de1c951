// Arbitrary slave replies through the TCP master over a loopback connection.

#include "FuzzCheck.h"
#include "MasterExchanges.h"

#include "modbus/MbusTcpMasterProtocol.h"

namespace
{

struct Link {
    FuzzPeer peer{Framing::Tcp}; // first, so that it outlives the master
    MbusTcpMasterProtocol master;

    Link() { open(); }

    void open()
    {
        master.close();
        master.setTimeout(kFuzzTimeoutMs);
        master.setRetryCount(0);
        master.setPort(peer.port());
        FUZZ_CHECK(master.open("127.0.0.1") == Success);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Link link;
    FuzzInput in(data, size);
    runMasterExchanges(link.master, link.peer, in, [](int result, bool hungUp) {
        // A peer that hung up leaves the master open on a dead connection.
        if (hungUp || result == ConnectionClosed || result == IoError || !link.master.isOpen())
            link.open();
    });
    return 0;
}
