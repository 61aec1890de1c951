#include "WorkerLink.h"
#include "WorkerTestSeam.h"

#include "FuzzCheck.h"

WorkerLink::WorkerLink()
{
    COMSETT settings;
    settings.mode = LinkMode::Tcp;
    worker.setSettings(settings);
    open();
}

void WorkerLink::open()
{
    worker.closeLink(LinkMode::Tcp);
    MbusTcpMasterProtocol &master = WorkerTestSeam::tcpMaster(worker);
    master.setTimeout(kFuzzTimeoutMs);
    master.setRetryCount(0);
    master.setPollDelay(0);
    master.setPort(peer.port());
    FUZZ_CHECK(master.open("127.0.0.1") == Success);
}

void WorkerLink::reset(int slaveAddress)
{
    comThread &w = worker;
    COMSETT settings = w.settings();
    settings.slaveAddress = slaveAddress;
    w.setSettings(settings);
    WorkerTestSeam::forgetAnalyzer(w);
    if (!WorkerTestSeam::tcpMaster(w).isOpen())
        open();
}

std::vector<FuzzPeer::Exchange> WorkerLink::call(std::vector<PeerReply> replies,
                                                 const std::function<void()> &work)
{
    peer.script(std::move(replies));
    work();
    std::vector<FuzzPeer::Exchange> exchanges = peer.settle();
    for (const FuzzPeer::Exchange &x : exchanges) {
        if (x.hungUp) {
            open();
            break;
        }
    }
    if (!WorkerTestSeam::tcpMaster(worker).isOpen())
        open();
    return exchanges;
}

int16_t replyWord(const FuzzPeer::Exchange &exchange, int index)
{
    const size_t at = 9 + 2 * static_cast<size_t>(index); // MBAP, unit, function, byte count
    FUZZ_CHECK(exchange.reply.size() >= at + 2);
    return static_cast<int16_t>(exchange.reply[at] << 8 | exchange.reply[at + 1]);
}
