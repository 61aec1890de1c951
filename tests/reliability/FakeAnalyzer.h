#pragma once

#include "ScriptedTcpSlave.h"

#include <cstdint>
#include <vector>

// A Modbus TCP analyzer on 127.0.0.1 that answers the identification with the bytes a test gives and
// everything else as a plain analyzer does: transformer ratios 100 and 10, period 900 s with parameters
// 0 to 5 logged, three records in sector 1 (all values 0). An empty identification is answered with
// an "illegal function" exception.
class FakeAnalyzer
{
  public:
    explicit FakeAnalyzer(std::vector<uint8_t> identification);
    unsigned short port() const { return slave.port(); }

  private:
    ScriptedTcpSlave::Reply answer(const std::vector<uint8_t> &request) const;

    const std::vector<uint8_t> identification;
    ScriptedTcpSlave slave; // last: its thread uses the members above
};

// An identification reply (the data after function 43) with these objects in order, zero-filled up to
// length bytes.
std::vector<uint8_t> identificationReply(const std::vector<std::vector<uint8_t>> &objects,
                                         size_t length = 117);
