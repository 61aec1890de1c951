#include "FakeAnalyzer.h"

#include <optional>

namespace
{

constexpr int kRecords = 3;

int be16(const uint8_t *p)
{
    return p[0] << 8 | p[1];
}

// Holding register by reference (1-based).
std::optional<uint16_t> registerAt(int ref)
{
    switch (ref) {
    case 75:
        return 100; // CT ratio
    case 76:
        return 10; // VT ratio in tenths
    case 306:
        return 900; // period
    case 307:
        return 1; // event logging
    case 308:
        return 0;
    case 1025:
        return 1;
    case 1026:
        return kRecords;
    }
    if (ref >= 309 && ref <= 336)
        return ref - 309 < 6 ? ref - 309 : 255;
    if (ref > 1026 && ref <= 1041)
        return 0;
    return std::nullopt;
}

} // namespace

std::vector<uint8_t> identificationReply(const std::vector<std::vector<uint8_t>> &objects, size_t length)
{
    std::vector<uint8_t> reply = {0x0E, 0x01, 0x02, 0x00, 0x00, static_cast<uint8_t>(objects.size())};
    uint8_t id = 0;
    for (const auto &object : objects) {
        reply.push_back(id++);
        reply.push_back(static_cast<uint8_t>(object.size()));
        reply.insert(reply.end(), object.begin(), object.end());
    }
    reply.resize(length);
    return reply;
}

FakeAnalyzer::FakeAnalyzer(std::vector<uint8_t> identification)
    : identification(std::move(identification)),
      slave([this](int, const std::vector<uint8_t> &request) { return answer(request); })
{
}

ScriptedTcpSlave::Reply FakeAnalyzer::answer(const std::vector<uint8_t> &request) const
{
    if (request.size() < 8)
        return {};
    const uint8_t unit = request[6];
    const uint8_t function = request[7];
    const uint8_t *data = request.data() + 8;
    const size_t length = request.size() - 8;
    auto exception = [&](uint8_t code) {
        return ScriptedTcpSlave::Reply{mbapReply(unit, {static_cast<uint8_t>(function | 0x80), code})};
    };

    // Room for the longest reply up front: growing a one-byte vector draws a false -Warray-bounds from
    // GCC 12 at -O3.
    std::vector<uint8_t> pdu;
    pdu.reserve(1 + 260);
    pdu.push_back(function);
    if (function == 43 && !identification.empty()) {
        pdu.insert(pdu.end(), identification.begin(), identification.end());
    } else if (function == 3 && length == 4) {
        const int start = be16(data) + 1, count = be16(data + 2);
        pdu.push_back(static_cast<uint8_t>(2 * count));
        for (int ref = start; ref < start + count; ++ref) {
            const auto value = registerAt(ref);
            if (!value)
                return exception(2);
            pdu.push_back(static_cast<uint8_t>(*value >> 8));
            pdu.push_back(static_cast<uint8_t>(*value));
        }
    } else if (function == 16 && length >= 4) {
        pdu.insert(pdu.end(), data, data + 4);
    } else if (function == 20 && length == 8 && data[3] == 0 && be16(data + 4) < kRecords) {
        const int number = be16(data + 4) + 1;
        pdu.insert(pdu.end(), {66, 65, 6, static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number), 1,
                               1, 24, 0, 0, 0});
        pdu.resize(1 + 67);
    } else {
        return exception(function == 20 ? 2 : 1);
    }
    return {mbapReply(unit, pdu)};
}
