#pragma once

#include "worker/AnalyzerSession.h"

#include <string>
#include <vector>

// One analyzer reached through the window's own worker: the same link, identity, configuration, count
// and record code, run on the calling thread (the worker's download thread never starts).
class AnalyzerLink
{
  public:
    explicit AnalyzerLink(const COMSETT &settings);
    // With a command name set, the link's counters go to stderr when it ends (--verbose).
    ~AnalyzerLink();
    void reportTrafficAs(const std::string &command) { verboseCommand = command; }

    // Opens the link, then reads the identity, the configuration and the record counts. False with the
    // reason in error() when any of them fails: no link, or no analyzer answering on it.
    bool open();
    const std::string &error() const { return lastError; }

    // One record into worker.record(); on failure worker.lastError() says why.
    bool readRecord(int area, int index) { return worker.readRecord(area, index); }
    // Whether the link is still open after a failed request (the worker reopens a lost one once).
    bool linkUp() { return worker.isConnected(); }

    const DEVICE_ID &identity() const { return worker.identity(); }
    const DEVICE_REGISTER_TABLE &table() const { return *worker.registerTable(); }
    const LOG_CONFIG &configuration() const { return worker.configuration(); }
    int16_t recordCount(int area) const { return worker.recordCount(area); }
    int modelCode() const { return model; }
    // What the sinks are told of the analyzer its records come from.
    RecordLog::Source source() const;
    // Checklist labels ("VLN1 : V") of the parameters the model offers.
    const std::vector<std::string> &parameterLabels() const { return labels; }

    comThread worker;

  private:
    AnalyzerSession session{worker};
    std::string lastError;
    std::string verboseCommand;
    int model = 0;
    std::vector<std::string> labels;
};
