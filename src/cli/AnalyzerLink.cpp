#include "cli/AnalyzerLink.h"

#include "cli/Connection.h"
#include "model/RecordDecoding.h"

#include <cstdio>

AnalyzerLink::AnalyzerLink(const COMSETT &settings)
{
    worker.setSettings(settings);
}

AnalyzerLink::~AnalyzerLink()
{
    if (!verboseCommand.empty())
        std::fprintf(stderr, "pullrec-cli %s: %s: %s\n", verboseCommand.c_str(),
                     describe(worker.settings()).c_str(), countersLine(worker.traffic().counters()).c_str());
}

bool AnalyzerLink::open()
{
    const std::string where = describe(worker.settings());
    // Several analyzers on one line share the open link.
    const AnalyzerSession::Opened opened = session.open();
    model = opened.facts.modelCode;
    labels = opened.facts.labels;
    if (!opened.failed)
        return true;
    switch (*opened.failed) {
    case AnalyzerSession::Step::Link:
        lastError = "cannot open " + where;
        break;
    case AnalyzerSession::Step::Identity:
        lastError = "no analyzer answers on " + where + ": " + opened.reason;
        break;
    case AnalyzerSession::Step::Configuration:
        lastError = "the analyzer on " + where + " gave no logging configuration";
        break;
    case AnalyzerSession::Step::Counts:
        lastError = "the analyzer on " + where + " gave no record counts";
        break;
    }
    return false;
}

RecordLog::Source AnalyzerLink::source() const
{
    return {identity(),        configuration(),   model,
            table().ctRatio(), table().vtRatio(), linkName(worker.settings())};
}
