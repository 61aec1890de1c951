#include "worker/comThread.h"

namespace
{

constexpr int kDataBits = 8;
constexpr int kStopBits = 1;

} // namespace

std::string linkName(const COMSETT &settings)
{
    const std::string unit = " unit " + std::to_string(settings.slaveAddress);
    if (settings.mode == LinkMode::Rtu)
        return "rtu " + settings.comPort + unit;
    return "tcp " + settings.host + ':' + std::to_string(uint16_t(settings.tcpPort)) + unit;
}

comThread::comThread()
{
    rtuMaster.setTrafficObserver(&trafficLog);
    tcpMaster.setTrafficObserver(&trafficLog);
}

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
    if (comSettings.mode == LinkMode::Rtu)
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
    beginTransaction();
    linkSettings = comSettings;
    trafficLog.reset(master().isOpen());
    const int result = openLink();
    linkWanted[comSettings.mode == LinkMode::Rtu] = master().isOpen(); // also when the link was open already
    return finishTransaction(result);
}

void comThread::beginTransaction()
{
    rtuMaster.clearCancel();
    tcpMaster.clearCancel();
}

bool comThread::finishTransaction(int result)
{
    if (result == Cancelled)
        closeLinkLocked(comSettings.mode);
    if (result != Success)
        lastErrorText = errorText(result);
    return result == Success;
}

void comThread::cancel()
{
    rtuMaster.cancel();
    tcpMaster.cancel();
}

int comThread::openLink()
{
    const COMSETT &s = linkSettings;
    MbusMasterFunctions &link =
        s.mode == LinkMode::Rtu ? static_cast<MbusMasterFunctions &>(rtuMaster) : tcpMaster;
    // Refused while the link is open: new timings wait for the next connection.
    link.setPollDelay(s.pollDelay);
    link.setTimeout(s.timeout);
    link.setRetryCount(s.retryCount);
    if (s.mode == LinkMode::Rtu)
        return rtuMaster.open(s.comPort.c_str(), s.baudRate, kDataBits, kStopBits,
                              MbusSerialMasterProtocol::NoParity);
    tcpMaster.setPort(static_cast<unsigned short>(s.tcpPort));
    return tcpMaster.open(s.host.c_str());
}

bool comThread::linkLost(int result) const
{
    if (result == Success || result == Cancelled || comSettings.mode != linkSettings.mode ||
        !linkWanted[comSettings.mode == LinkMode::Rtu])
        return false;
    // A serial port that takes no request is gone (an adapter unplugged, the
    // far end of a pseudo-terminal closed), or it failed to open again.
    if (comSettings.mode == LinkMode::Rtu)
        return result == SendTimeout || result == IoError || !rtuMaster.isOpen();
    // The peer closed the connection, or the master's own reconnect failed.
    return result == ConnectionClosed || !tcpMaster.isOpen();
}

void comThread::closeLink(int mode)
{
    std::lock_guard lock(linkMutex);
    closeLinkLocked(mode);
}

void comThread::closeLinkLocked(int mode)
{
    if (mode == LinkMode::Rtu)
        rtuMaster.close();
    else
        tcpMaster.close();
    linkWanted[mode == LinkMode::Rtu] = false;
}

void comThread::selectAreas(const std::array<bool, kAreaCount> &selected)
{
    if (readDone)
        recordCounter = 0;
    AreaRanges whole{};
    for (int k = 0; k < kAreaCount; ++k) {
        sectorSelected[k] = selected[k];
        sectorToRead[k] = sectorCount[k];
        if (selected[k])
            whole[size_t(k)].last = std::max<int>(sectorCount[k], 0);
    }
    setRanges(std::move(whole));
}

void comThread::narrowAreas(AreaRanges ranges)
{
    for (int k = 0; k < kAreaCount; ++k) {
        AreaRange &range = ranges[size_t(k)];
        const int count = sectorSelected[k] ? std::max<int>(sectorToRead[k], 0) : 0;
        range.last = std::min(range.last, count);
        range.first = std::min(range.first, range.last);
        std::erase_if(range.before, [count](int index) { return index < 0 || index >= count; });
    }
    setRanges(std::move(ranges));
}

void comThread::setRanges(AreaRanges ranges)
{
    int32_t total = 0;
    for (const AreaRange &range : ranges)
        total += int32_t(range.before.size()) + std::max(range.last - range.first, 0);
    std::lock_guard lock(stateMutex);
    selectedRanges = std::move(ranges);
    totalToRead = total;
}

void comThread::startDownload()
{
    readDone = false;
    resume();
}

bool comThread::pauseDownload()
{
    suspend();
    if (recordCounter == totalToRead)
        readDone = true;
    return readDone;
}

void comThread::endDownload()
{
    restartPass();
    readDone = true;
}
