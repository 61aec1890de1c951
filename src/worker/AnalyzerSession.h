#pragma once

#include "worker/comThread.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// What the connect sequence learns of an analyzer.
struct AnalyzerFacts {
    DEVICE_ID identity;
    int modelCode = 0;
    std::vector<std::string> labels; // checklist labels ("VLN1 : V") of the parameters the model offers
    LOG_CONFIG configuration;
    std::array<int16_t, kAreaCount> counts{};
};

// The connect sequence of the window and the command line: link, identity, configuration, counts, on
// the calling thread through the worker's synchronous transactions.
class AnalyzerSession
{
  public:
    enum class Step { Link, Identity, Configuration, Counts };

    struct Opened {
        AnalyzerFacts facts;
        std::optional<Step> failed; // the first step that failed; none when all ran
        std::string reason;         // the stack's text of that failure
        explicit operator bool() const { return !failed; }
    };

    explicit AnalyzerSession(comThread &worker) : worker(worker) {}

    // The four steps in order, up to the first that fails.
    Opened open();

    // The steps one at a time, for a caller that shows each (the window goes on after a failed
    // identity, with the model code it knew). Each leaves its part of facts() on success and the
    // stack's text in reason() on failure.
    bool link(); // keeps a link already open
    bool identify();
    bool configure();
    bool count();

    const AnalyzerFacts &facts() const { return known; }
    const std::string &reason() const { return failure; }

  private:
    bool failed();

    comThread &worker;
    AnalyzerFacts known;
    std::string failure;
};

// The number formed by the last three characters of the model text, 0 when they are no number.
int modelCodeOf(const std::string &model);
