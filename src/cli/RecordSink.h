#pragma once

#include "model/AnalyzerMap.h"
#include "worker/WorkerTypes.h"

#include <array>

class AnalyzerLink;

inline constexpr int kLogAreas = kAreaCount;

// Where a download puts its records: a text format on a stream, an archive. Records arrive each once, in
// area and record order unless the sink says it needs no order; a record that could not be read is
// left out.
class RecordSink
{
  public:
    virtual ~RecordSink() = default;

    // Before the first record: the analyzer (identity, configuration, ratios) and the areas that will
    // be read.
    virtual void begin(const RecordLog::Source &analyzer, const std::array<bool, kLogAreas> &areas) = 0;
    // A record as the worker decoded it (its area and position included).
    virtual void record(const LogRecord &record) = 0;
    // A record that failed on its first read; it may still arrive in a later pass.
    virtual void missing(int /*area*/, int /*index*/) {}
    // False when the sink takes records as they are read, whatever their order.
    virtual bool ordered() const { return true; }
    // False once the sink can keep nothing more (its archive failed).
    virtual bool working() const { return true; }
    // After the last record. False when the records could not be stored (a full disk): the download is
    // then incomplete.
    virtual bool end() = 0;
};
