#include "worker/comThread.h"

#include "modbus/ModbusFrames.h"
#include "model/AnalyzerMap.h"
#include "model/RecordDecoding.h"

namespace
{

int16_t low16(int32_t value)
{
    return static_cast<int16_t>(value & 0xFFFF);
}

// Objects by position: 1 vendor, 2 model, 3 version, 6 serial. Returns whether all six fitted;
// those that did are kept.
bool parseIdentity(const uint8_t *reply, int length, DEVICE_ID &id)
{
    id = DEVICE_ID{};
    std::string *const fields[] = {&id.vendor, &id.model, &id.version, nullptr, nullptr, &id.serial};
    constexpr int count = static_cast<int>(std::size(fields));
    modbus::IdObject objects[count];
    const int fitted = modbus::splitIdentification(reply, length, objects, count);
    for (int i = 0; i < fitted; ++i) {
        if (fields[i])
            fields[i]->assign(reinterpret_cast<const char *>(objects[i].text),
                              static_cast<size_t>(objects[i].length));
    }
    return fitted == count;
}

} // namespace

bool comThread::readDeviceId()
{
    std::lock_guard lock(linkMutex);
    beginTransaction();
    clearRegisters();
    const uint8_t request[] = {modbus::MeiDeviceIdentification, modbus::ReadBasicIdentification, 0x00};
    uint8_t reply[kLongIdReply];
    int length = kShortIdReply;
    auto identify = [&](uint8_t *into, int intoLength) {
        return exchange([&](MbusMasterFunctions &link) {
            return link.customRequest(comSettings.slaveAddress, modbus::EncapsulatedInterface, request,
                                      sizeof request, into, intoLength);
        });
    };
    int result = identify(reply, length);
    if (result != Success && result != Cancelled) {
        // Some analyzers answer with 17 bytes more; a serial frame read for 117 fails its checksum.
        length = kLongIdReply;
        result = identify(reply, length);
    }
    if (!finishTransaction(result)) {
        lastErrorText = requestErrorText = errorText(result);
        return false;
    }
    if (!parseIdentity(reply, length, deviceId) && length == kShortIdReply) {
        // Over TCP a 117-byte read of the longer reply succeeds but cuts off the
        // serial number; ask again for the whole reply and keep the short one
        // only if that fails.
        uint8_t longReply[kLongIdReply];
        result = identify(longReply, kLongIdReply);
        if (result == Success)
            parseIdentity(longReply, kLongIdReply, deviceId);
        else if (result == Cancelled)
            return finishTransaction(result);
    }
    return true;
}

bool comThread::readConfiguration(int16_t modelCode, std::vector<std::string> &names)
{
    std::lock_guard lock(linkMutex);
    beginTransaction();
    clearRegisters();
    int16_t ratios[kRatioWords] = {};
    const int ratioResult = exchange([&](MbusMasterFunctions &link) {
        return link.readHoldingRegisters(comSettings.slaveAddress, kRatioRef, ratios, kRatioWords);
    });
    const int configResult = exchange([&](MbusMasterFunctions &link) {
        return link.readHoldingRegisters(comSettings.slaveAddress, kConfigRef, registers.data(),
                                         kConfigWords);
    });
    if (!finishTransaction(ratioResult != Success ? ratioResult : configResult))
        return false;

    ctRatioWord = static_cast<uint16_t>(ratios[0]);
    vtRatioWord = static_cast<uint16_t>(ratios[1]);
    logConfig.logPeriod = registers[0];
    logConfig.eventLogging = registers[1];
    logConfig.thirdWord = registers[2];
    for (int k = 0; k < kLogSlots; ++k)
        logConfig.paramCodes[k] = registers[3 + k];
    regTable = std::make_unique<DEVICE_REGISTER_TABLE>(ctRatioWord, vtRatioWord * 0.1);
    BuildParameterList(*regTable, modelCode, names);
    return true;
}

bool comThread::readAreaCounts()
{
    std::lock_guard lock(linkMutex);
    beginTransaction();
    clearRegisters();
    const int result = exchange([&](MbusMasterFunctions &link) {
        return link.readHoldingRegisters(comSettings.slaveAddress, kCountsRef, registers.data(),
                                         kCountsWords);
    });
    if (!finishTransaction(result))
        return false;
    // Register 1025 precedes the counts and means nothing to us.
    for (int k = 0; k < kAreaCount; ++k)
        sectorCount[k] = registers[1 + k];
    recordNumbering.fill({});
    return true;
}

bool comThread::writeConfiguration()
{
    std::lock_guard lock(linkMutex);
    beginTransaction();
    int16_t words[kConfigWords];
    words[0] = low16(logConfig.logPeriod);
    words[1] = low16(logConfig.eventLogging);
    words[2] = low16(logConfig.thirdWord);
    for (int k = 0; k < kLogSlots; ++k)
        words[3 + k] = logConfig.paramCodes[k];
    return finishTransaction(exchange([&](MbusMasterFunctions &link) {
        return link.writeMultipleRegisters(comSettings.slaveAddress, kConfigRef, words, kConfigWords);
    }));
}
