#include "worker/comThread.h"

namespace
{

constexpr int kRetryCount = 5;
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;

} // namespace

comThread::comThread() = default;

comThread::~comThread()
{
    stop();
}

void comThread::setView(WorkerView *newView)
{
    view = newView;
}

MbusMasterFunctions &comThread::master()
{
    if (settings.mode == 1)
        return rtuMaster;
    return tcpMaster;
}

void comThread::clearRegisters()
{
    registers.fill(0);
}

bool comThread::isConnected()
{
    std::lock_guard lock(linkMutex);
    return rtuMaster.isOpen() || tcpMaster.isOpen();
}

bool comThread::connect()
{
    std::lock_guard lock(linkMutex);
    MbusMasterFunctions &link = master();
    // Refused while the link is open: new timings wait for the next connection.
    link.setPollDelay(settings.pollDelay);
    link.setTimeout(settings.timeout);
    link.setRetryCount(kRetryCount);
    if (settings.mode == 1)
        return rtuMaster.open(settings.comPort.c_str(), settings.baudRate, kDataBits, kStopBits,
                              MbusSerialMasterProtocol::NoParity) == Success;
    tcpMaster.setPort(static_cast<unsigned short>(settings.tcpPort));
    return tcpMaster.open(settings.host.c_str()) == Success;
}

void comThread::closeLink(int mode)
{
    std::lock_guard lock(linkMutex);
    if (mode == 1)
        rtuMaster.close();
    else
        tcpMaster.close();
}

void comThread::selectAreas(const std::array<bool, kAreaCount> &selected)
{
    int32_t total = 0;
    for (int k = 0; k < kAreaCount; ++k) {
        sectorSelected[k] = selected[k];
        sectorToRead[k] = sectorCount[k];
        if (selected[k] && sectorCount[k] > 0)
            total += sectorCount[k];
    }
    totalToRead = total;
}
