#pragma once

#include "Options.h"
#include "Record.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The analyzer as a Modbus slave, apart from the transport: its registers,
// its identity and its log, answering one request PDU at a time.
class Analyzer
{
  public:
    explicit Analyzer(const SimOptions &options);

    // pdu: function code and request data. Returns the reply PDU (function
    // code and data, or function | 0x80 and an exception code).
    std::vector<uint8_t> handle(const uint8_t *pdu, size_t length);

    int unit() const { return options.unit; }
    // Records in the area now: the log of sector 1 grows with --grow and --grow-reads, up to --ring.
    int recordCount(int area) const;

    // The reply data of a record the analyzer has, else nothing.
    std::optional<std::array<uint8_t, kRecordReplyLength>> record(int area, int index) const;

  private:
    std::vector<uint8_t> readRegisters(const uint8_t *data, size_t length) const;
    std::vector<uint8_t> writeRegisters(const uint8_t *data, size_t length);
    std::vector<uint8_t> readFileRecord(const uint8_t *data, size_t length);
    std::vector<uint8_t> identify(const uint8_t *data, size_t length) const;
    // The register at a protocol address, if the analyzer has it.
    std::optional<uint16_t> registerAt(int address) const;
    // Records the area ever logged: more than it holds once a ring wrapped.
    int logged(int area) const;

    const SimOptions &options;
    LogSettings settings;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    int64_t served = 0; // records read from it, for --grow-reads
};
