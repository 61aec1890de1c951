#include "worker/comThread.h"

#include "modbus/ModbusFrames.h"
#include "model/RecordDecoding.h"

#include <algorithm>
#include <span>

namespace
{

constexpr int kRetryPauseMs = 1000;
constexpr int kRecordNumberByte = 3;
constexpr int kFirstWordByte = 11;

// Decimal, "0" in front up to two characters; a negative byte keeps its sign.
std::string zeroPad(int value)
{
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

std::string joinBytes(const uint8_t *bytes, const char *separator)
{
    return zeroPad(static_cast<int8_t>(bytes[0])) + separator + zeroPad(static_cast<int8_t>(bytes[1])) +
           separator + zeroPad(static_cast<int8_t>(bytes[2]));
}

int16_t bigEndianWord(const uint8_t *bytes)
{
    return static_cast<int16_t>(bytes[0] << 8 | bytes[1]);
}

uint16_t recordNumberOf(const uint8_t *reply)
{
    return static_cast<uint16_t>(bigEndianWord(reply + kRecordNumberByte));
}

} // namespace

void comThread::readPass()
{
    recordCounter = 0;
    // A pass ends with the download it completes, with a new download's
    // selection, or on stop; never resumed after either of the first two.
    const uint64_t thisPass = pass;
    auto goOn = [this, thisPass] { return checkPoint() && passGoesOn(thisPass); };
    Fetched record;
    for (int area = 0; area < kAreaCount; ++area) {
        if (!goOn())
            return;
        const AreaRange &range = passRanges[size_t(area)];
        const int gaps = int(range.before.size());
        for (int k = 0; k < gaps + range.last - range.first; ++k) {
            if (!goOn())
                return;
            const int index = k < gaps ? range.before[size_t(k)] : range.first + k - gaps;
            Fetch got = fetch(area, index, thisPass, record);
            // One more try after a pause. While the link is down every record
            // would fail: this one keeps its place until the link is back, rather
            // than the pass skipping the rest and a new pass fetching them again.
            // The pass may end during the pause: fetch() then asks for nothing.
            for (bool first = true; got == Fetch::Failed && (first || record.linkDown); first = false) {
                if (!showLinkError(thisPass, record.error) || !pauseFor(kRetryPauseMs))
                    return;
                got = fetch(area, index, thisPass, record);
            }
            if (got == Fetch::PassEnded)
                return;
            if (got == Fetch::Failed) {
                // Skipped in this pass; the next pass tries again.
                if (!reportMissing(thisPass, area, index))
                    return;
                continue;
            }
            const bool last = ++recordCounter == totalToRead;
            if (!handOver(thisPass, record, area == kEnergyArea && !energyHeaderSet))
                return;
            if (last) {
                ++pass;
                return;
            }
        }
    }
}

bool comThread::linkDown()
{
    std::lock_guard lock(linkMutex);
    return !master().isOpen();
}

int comThread::requestRecord(int area, int index, uint8_t reply[kRecordReplyLength])
{
    uint8_t request[modbus::record_request::Length];
    modbus::putRecordRequest(request, area, index);
    return exchange([&](MbusMasterFunctions &link) {
        return link.customRequest(comSettings.slaveAddress, modbus::ReadFileRecord, request, sizeof request,
                                  reply, kRecordReplyLength);
    });
}

bool comThread::readRecord(int area, int index)
{
    uint8_t reply[kRecordReplyLength] = {};
    uint8_t again[kRecordReplyLength] = {};
    const uint8_t *accepted = reply;
    std::lock_guard lock(linkMutex);
    int result = requestRecord(area, index, reply);
    RecordNumbering &numbering = recordNumbering[area];
    const uint16_t number = recordNumberOf(reply);
    if (result == Success && numbering.expects(index, number)) {
        numbering.follow(index, number);
    } else if (result == Success) {
        // A reply owed to an earlier request would put a record in another's row; a jump in the
        // analyzer's own numbering (a wrapped log, a restarted counter) reads the same twice.
        result = requestRecord(area, index, again);
        if (result == Success && std::equal(reply, reply + kFirstWordByte, again)) {
            numbering.jumpTo(index, number);
        } else if (result == Success && numbering.expects(index, recordNumberOf(again))) {
            numbering.follow(index, recordNumberOf(again));
            accepted = again;
        } else if (result == Success) {
            result = InvalidReply;
        }
    }
    if (result != Success) {
        lastErrorText = requestErrorText = errorText(result);
        return false;
    }
    decodeRecord(area, index, accepted);
    return true;
}

void comThread::decodeRecord(int area, int index, const uint8_t reply[kRecordReplyLength])
{
    LogRecord &r = lastRecord;
    r.area = area;
    r.position = index;
    r.recordNo = bigEndianWord(reply + kRecordNumberByte);
    r.setTime(joinBytes(reply + 5, "/"), joinBytes(reply + 8, ":"));
    r.codes = logConfig.paramCodes;
    // The energy record's 29th word lies beyond the 67-byte reply.
    std::array<int16_t, kEnergyWords> words{};
    for (int k = 0; k < kRecordWords; ++k)
        words[size_t(k)] = bigEndianWord(reply + kFirstWordByte + 2 * k);
    const std::span<double, kDecodedValues> values(r.values);
    if (!regTable) {
        std::fill(values.begin(), area == kEnergyArea ? values.end() : values.begin() + kLogSlots, 0.0);
        return;
    }
    if (area == kEnergyArea)
        DecodeEnergyRecord(*regTable, words, values);
    else
        DecodeLogRecord(*regTable, std::span<const int16_t, kLogSlots>(words.data(), kLogSlots),
                        logConfig.paramCodes, values);
}
