// The record request (function 20) and the identification reply (function 43) on any bytes.

#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "modbus/ModbusFrames.h"

#include <algorithm>
#include <vector>

namespace
{

void recordRequest(FuzzInput &in)
{
    const int file = in.word();
    const int record = in.word();
    uint8_t built[modbus::record_request::Length];
    modbus::putRecordRequest(built, file, record);
    modbus::RecordRequest parsed;
    FUZZ_CHECK(modbus::parseRecordRequest(built, sizeof built, parsed) == 0);
    FUZZ_CHECK(parsed.file == file && parsed.record == record);

    // Any request data: refused with a slave's exception code, or the one record it names.
    const std::vector<uint8_t> any = in.bytes(in.byte());
    const uint8_t code = modbus::parseRecordRequest(any.data(), any.size(), parsed);
    FUZZ_CHECK(code == 0 || code == modbus::IllegalDataValue || code == modbus::IllegalDataAddress);
    if (code == 0) {
        FUZZ_CHECK(any.size() == modbus::record_request::Length);
        FUZZ_CHECK(any[0] == 7 && any[1] == 6 && any[6] == 0 && any[7] == 1);
        FUZZ_CHECK(parsed.file == (any[2] << 8 | any[3]) && parsed.record == (any[4] << 8 | any[5]));
    }
}

void identification(FuzzInput &in)
{
    const int count = in.byte() % 8;
    // Either objects laid out properly from the input's texts, or the raw input.
    std::vector<uint8_t> reply;
    std::vector<std::vector<uint8_t>> texts;
    if (in.flag()) {
        reply = {modbus::MeiDeviceIdentification, modbus::ReadBasicIdentification, 1, 0, 0,
                 static_cast<uint8_t>(count)};
        for (int i = 0; i < count; ++i) {
            texts.push_back(in.bytes(in.byte() % 40));
            reply.push_back(static_cast<uint8_t>(i));
            reply.push_back(static_cast<uint8_t>(texts.back().size()));
            reply.insert(reply.end(), texts.back().begin(), texts.back().end());
        }
    } else {
        reply = in.rest();
    }
    const int length = static_cast<int>(reply.size());
    std::vector<modbus::IdObject> objects(static_cast<size_t>(count));
    const int fitted = modbus::splitIdentification(reply.data(), length, objects.data(), count);
    FUZZ_CHECK(fitted >= 0 && fitted <= count);
    const uint8_t *end = reply.data();
    for (int i = 0; i < fitted; ++i) {
        const modbus::IdObject &o = objects[static_cast<size_t>(i)];
        FUZZ_CHECK(o.text >= end && o.length >= 0 && o.text + o.length <= reply.data() + length);
        end = o.text + o.length;
    }
    if (!texts.empty() || count == 0) {
        FUZZ_CHECK(fitted == count);
        for (int i = 0; i < static_cast<int>(texts.size()); ++i) {
            const modbus::IdObject &o = objects[static_cast<size_t>(i)];
            const std::vector<uint8_t> &t = texts[static_cast<size_t>(i)];
            FUZZ_CHECK(o.length == static_cast<int>(t.size()) && std::equal(t.begin(), t.end(), o.text));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    if (in.flag())
        recordRequest(in);
    else
        identification(in);
    return 0;
}
