#pragma once

// The simulator's analyzer answering over loopback TCP in the test's own process, with count registers
// that say what the test wants: also counts no simulator option gives, as the register is signed.
// Link with ktr58_sim_parts and pullrec_modbus_peers.

#include "Analyzer.h"
#include "ScriptedTcpSlave.h"

#include <array>
#include <cstdint>
#include <vector>

class RawCountAnalyzer
{
  public:
    // counts: the 16 count registers as sent; records exist for those up to 32767.
    explicit RawCountAnalyzer(const std::array<uint16_t, 16> &counts) : counts(counts) {}
    int port() const { return slave.port(); }

  private:
    static constexpr size_t kPdu = 7;           // after the MBAP header
    static constexpr int kCountsAddress = 1024; // the last sector with records, then the 16 counts

    // Made before the slave's thread starts, which reads them.
    static SimOptions optionsFor(const std::array<uint16_t, 16> &counts)
    {
        SimOptions o;
        for (size_t area = 0; area < counts.size(); ++area)
            o.records[area] = counts[area] <= INT16_MAX ? counts[area] : 0;
        return o;
    }

    ScriptedTcpSlave::Reply answer(const std::vector<uint8_t> &request)
    {
        if (request.size() <= kPdu)
            return {};
        std::vector<uint8_t> reply = analyzer.handle(request.data() + kPdu, request.size() - kPdu);
        const bool countsRead =
            request[kPdu] == 3 && (request[kPdu + 1] << 8 | request[kPdu + 2]) == kCountsAddress;
        for (size_t area = 0; countsRead && area < counts.size() && 4 + 2 * area + 1 < reply.size(); ++area) {
            reply[4 + 2 * area] = static_cast<uint8_t>(counts[area] >> 8);
            reply[5 + 2 * area] = static_cast<uint8_t>(counts[area]);
        }
        return {mbapReply(request[6], reply)};
    }

    const std::array<uint16_t, 16> counts;
    SimOptions options = optionsFor(counts);
    Analyzer analyzer{options};
    ScriptedTcpSlave slave{[this](int, const std::vector<uint8_t> &request) { return answer(request); }};
};
