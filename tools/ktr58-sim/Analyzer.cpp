#include "Analyzer.h"

#include "Identity.h"

#include "modbus/ModbusFrames.h"
#include "model/AnalyzerMap.h"

#include <algorithm>

namespace
{

using modbus::EncapsulatedInterface;
using modbus::IllegalDataAddress;
using modbus::IllegalDataValue;
using modbus::IllegalFunction;
using modbus::ReadFileRecord;
using modbus::ReadHoldingRegisters;
using modbus::WriteMultipleRegisters;

// Protocol addresses (reference - 1) of the register blocks.
constexpr int ratioAddress = kRatioRef - 1;
constexpr int configAddress = kConfigRef - 1;
constexpr int countsAddress = kCountsRef - 1;

std::vector<uint8_t> exception(uint8_t function, uint8_t code)
{
    return {static_cast<uint8_t>(function | modbus::ExceptionFlag), code};
}

int be16(const uint8_t *p)
{
    return p[0] << 8 | p[1];
}

std::array<uint16_t, kConfigWords> defaultLogConfig(const std::string &model)
{
    // Voltages, currents, power factors, line voltages, frequency, total
    // powers and the import energy counter; the basic model lacks the
    // counters, so it logs total current and average voltage instead.
    static const std::vector<uint16_t> full = {0,  1,  2,  3,  4,  5,  16, 17, 18,
                                               22, 23, 24, 27, 28, 29, 30, 60, 61};
    static const std::vector<uint16_t> basic = {0,  1,  2,  3,  4,  5,  6,  16, 17,
                                                18, 22, 23, 24, 25, 27, 28, 29, 30};
    const std::vector<uint16_t> &codes = model.ends_with("167") ? basic : full;
    std::array<uint16_t, kConfigWords> c{};
    c[0] = 900; // period in seconds
    c[1] = 1;   // event logging on
    c[2] = 0;
    std::fill(c.begin() + 3, c.end(), kEmptySlot);
    std::copy(codes.begin(), codes.end(), c.begin() + 3);
    return c;
}

} // namespace

Analyzer::Analyzer(const SimOptions &options)
    : options(options), settings{100, 10, defaultLogConfig(options.model), options.energyPeriodMin * 60,
                                 options.counterReset}
{
}

std::vector<uint8_t> Analyzer::handle(const uint8_t *pdu, size_t length)
{
    if (length == 0)
        return {};
    const uint8_t *data = pdu + 1;
    size_t dataLength = length - 1;
    switch (pdu[0]) {
    case ReadHoldingRegisters:
        return readRegisters(data, dataLength);
    case WriteMultipleRegisters:
        return writeRegisters(data, dataLength);
    case ReadFileRecord:
        return readFileRecord(data, dataLength);
    case EncapsulatedInterface:
        return identify(data, dataLength);
    default:
        return exception(pdu[0], IllegalFunction);
    }
}

std::optional<uint16_t> Analyzer::registerAt(int address) const
{
    if (address >= ratioAddress && address < ratioAddress + kRatioWords)
        return address == ratioAddress ? settings.ctRatio : settings.vtTenths;
    if (address >= configAddress && address < configAddress + kConfigWords)
        return settings.logConfig[address - configAddress];
    if (address == countsAddress) {
        // The last sector that holds records, counting from 1.
        uint16_t active = 0;
        for (int area = 0; area < kEnergyArea; ++area)
            if (recordCount(area) > 0)
                active = static_cast<uint16_t>(area + 1);
        return active;
    }
    if (address > countsAddress && address < countsAddress + kCountsWords)
        return static_cast<uint16_t>(recordCount(address - countsAddress - 1));
    return std::nullopt;
}

std::vector<uint8_t> Analyzer::readRegisters(const uint8_t *data, size_t length) const
{
    if (length != 4)
        return exception(ReadHoldingRegisters, IllegalDataValue);
    int start = be16(data), count = be16(data + 2);
    if (count < 1 || count > modbus::MaxReadRegisters)
        return exception(ReadHoldingRegisters, IllegalDataValue);
    // A read may not run from one block into the next.
    auto block = [](int address) {
        if (address >= ratioAddress && address < ratioAddress + kRatioWords)
            return 1;
        if (address >= configAddress && address < configAddress + kConfigWords)
            return 2;
        if (address >= countsAddress && address < countsAddress + kCountsWords)
            return 3;
        return 0;
    };
    if (block(start) == 0 || block(start) != block(start + count - 1))
        return exception(ReadHoldingRegisters, IllegalDataAddress);
    std::vector<uint8_t> reply{ReadHoldingRegisters, static_cast<uint8_t>(2 * count)};
    for (int a = start; a < start + count; ++a) {
        uint16_t v = *registerAt(a);
        reply.push_back(static_cast<uint8_t>(v >> 8));
        reply.push_back(static_cast<uint8_t>(v));
    }
    return reply;
}

std::vector<uint8_t> Analyzer::writeRegisters(const uint8_t *data, size_t length)
{
    if (length < 5)
        return exception(WriteMultipleRegisters, IllegalDataValue);
    int start = be16(data), count = be16(data + 2);
    if (count < 1 || count > modbus::MaxWriteRegisters || data[4] != 2 * count ||
        length != 5 + 2 * static_cast<size_t>(count))
        return exception(WriteMultipleRegisters, IllegalDataValue);
    if (start < configAddress || start + count > configAddress + kConfigWords)
        return exception(WriteMultipleRegisters, IllegalDataAddress);
    for (int i = 0; i < count; ++i)
        settings.logConfig[start - configAddress + i] = static_cast<uint16_t>(be16(data + 5 + 2 * i));
    return {WriteMultipleRegisters, data[0], data[1], data[2], data[3]};
}

int Analyzer::logged(int area) const
{
    int64_t count = static_cast<int16_t>(options.records[size_t(area)]);
    if (count < 0 || area != 0)
        return int(count); // a negative one is a faulty count, as the register holds it
    if (options.growMs > 0)
        count += (std::chrono::steady_clock::now() - started) / std::chrono::milliseconds(options.growMs);
    if (options.growReads > 0)
        count += served / options.growReads;
    return int(std::min<int64_t>(count, INT32_MAX / 2));
}

int Analyzer::recordCount(int area) const
{
    const int count = logged(area);
    if (area == 0 && options.ring > 0)
        return std::min(count, options.ring);
    // The count register is signed: a log never reports more than it can hold.
    return std::min(count, int(INT16_MAX));
}

std::optional<std::array<uint8_t, kRecordReplyLength>> Analyzer::record(int area, int index) const
{
    if (area < 0 || area > kEnergyArea || index < 0 || index >= recordCount(area) ||
        options.missing.contains({area, index}))
        return std::nullopt;
    const int count = logged(area);
    if (area == 0 && options.ring > 0 && count > options.ring) {
        // The newest record written at this position: the ring writes position (age % ring).
        const int age = index + options.ring * ((count - 1 - index) / options.ring);
        return recordReply(options.seed, settings, area, age, static_cast<uint16_t>(age + 1));
    }
    const NumberedRecord numbered = numberRecord(options.numbering, recordCount(area), index);
    auto reply = recordReply(options.seed, settings, area, numbered.age, numbered.number);
    if (options.noClock.contains({area, index}))
        std::fill(reply.begin() + 5, reply.begin() + 11,
                  uint8_t(0)); // day, month, year, hour, minute, second
    return reply;
}

std::vector<uint8_t> Analyzer::readFileRecord(const uint8_t *data, size_t length)
{
    modbus::RecordRequest request;
    if (const uint8_t code = modbus::parseRecordRequest(data, length, request))
        return exception(ReadFileRecord, code);
    auto r = record(request.file, request.record);
    if (!r)
        return exception(ReadFileRecord, IllegalDataAddress);
    ++served;
    std::vector<uint8_t> reply{ReadFileRecord};
    reply.insert(reply.end(), r->begin(), r->end());
    return reply;
}

std::vector<uint8_t> Analyzer::identify(const uint8_t *data, size_t length) const
{
    if (length < 1 || data[0] != modbus::MeiDeviceIdentification)
        return exception(EncapsulatedInterface, IllegalFunction);
    if (length != 3 || data[1] < modbus::ReadBasicIdentification || data[1] > modbus::ReadOneObject)
        return exception(EncapsulatedInterface, IllegalDataValue);
    std::vector<uint8_t> reply{EncapsulatedInterface};
    if (data[1] == modbus::ReadOneObject) {
        auto object = identificationObject(options, data[2]);
        if (!object)
            return exception(EncapsulatedInterface, IllegalDataAddress);
        reply.insert(reply.end(), object->begin(), object->end());
    } else {
        std::vector<uint8_t> objects = identificationReply(options, data[1]);
        reply.insert(reply.end(), objects.begin(), objects.end());
    }
    return reply;
}
