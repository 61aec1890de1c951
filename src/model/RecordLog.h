#pragma once

#include "model/AnalyzerMap.h"
#include "model/RecordClock.h"
#include "model/RecordDecoding.h"
#include "model/RegisterTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The analyzer's identity texts, bytes exactly as received.
struct DEVICE_ID {
    std::string vendor;
    std::string model;
    std::string serial;
    std::string version;
};

// Registers 306..336: period, event flag, a word passed through, 28 codes.
struct LOG_CONFIG {
    int32_t logPeriod = 0;
    int32_t eventLogging = 0;
    int32_t thirdWord = 0;
    std::array<int16_t, kLogSlots> paramCodes{};
};

// One record as the analyzer sent it and as it was decoded: what the grid shows, what the files and
// the archive keep.
struct LogRecord {
    int area = 0;         // 0..14 sectors, 15 the energy log
    int position = 0;     // record index in the area when it was read
    int recordNo = 0;     // the number the analyzer gave (a signed 16-bit word)
    std::string dateText; // "31/12/09", bytes as sent
    std::string timeText; // "08:00:30"
    // The texts read once as a clock; none when they are no date and time (a clock never set).
    std::optional<RecordClock> clock;
    // Normal log: the parameter code of each slot when decoded. Not used for the energy log.
    std::array<int16_t, kLogSlots> codes{};
    // Normal log: values 0..27; energy log: values 0..19, the rest 0.
    std::array<double, kDecodedValues> values{};

    // Sets the texts and reads the clock from them.
    void setTime(std::string dateText, std::string timeText);
    bool energy() const { return area == kEnergyArea; }
    int valueCount() const { return energy() ? kEnergyValues : kLogSlots; }
    // The parameter code of the quantity in value slot `slot`: the configured code for the normal
    // log, the same quantity's parameter code for the energy log (its kWh counter is code 60).
    int16_t quantity(int slot) const;
    // A slot whose code is no parameter decodes to 0 and heads no column: it is not stored, and comes
    // back as an empty slot (kEmptySlot, 0).
    bool storesValue(int slot) const;
    // "2009-12-31 08:00:30", or empty when the date or time is no valid one.
    std::string recordedAt() const;
    bool sameRecord(const LogRecord &other) const; // number, date and time
};

// What one download produced: the analyzer it came from and its records in the order they were read.
// The window's grid shows it, and its saving, export, chart and report read it; the worker appends.
// Not thread-safe: one thread at a time (the window's, where the worker's records are handed over).
class RecordLog
{
  public:
    // The analyzer as it was when the records were read.
    struct Source {
        DEVICE_ID identity;
        LOG_CONFIG configuration;
        int modelCode = 0;
        double ctRatio = 1; // the register table's ratios
        double vtRatio = 1;
        // Where it was reached, "tcp 127.0.0.1:1502 unit 1": the archive's name for an analyzer whose
        // identity gives no serial. Empty when not known.
        std::string link = {};

        DEVICE_REGISTER_TABLE table() const { return {ctRatio, vtRatio}; }
        // Checklist labels ("VLN1 : V") of the parameters the model offers, by parameter code.
        std::vector<std::string> parameterLabels() const;
    };

    const Source &source() const { return from; }
    void setSource(Source source) { from = std::move(source); }

    // Index of the record within the log.
    size_t append(LogRecord record);
    size_t size() const { return records.size(); }
    const LogRecord &operator[](size_t index) const { return records[index]; }
    void clear() { records.clear(); }

  private:
    Source from;
    std::vector<LogRecord> records;
};
