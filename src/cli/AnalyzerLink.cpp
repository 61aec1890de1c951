#include "cli/AnalyzerLink.h"

#include "cli/Connection.h"
#include "model/RecordDecoding.h"

#include <charconv>
#include <cstdio>

AnalyzerLink::AnalyzerLink(const COMSETT &settings)
{
    worker.settings = settings;
}

AnalyzerLink::~AnalyzerLink()
{
    if (!verboseCommand.empty())
        std::fprintf(stderr, "pullrec-cli %s: %s: %s\n", verboseCommand.c_str(),
                     describe(worker.settings).c_str(), countersLine(worker.traffic.counters()).c_str());
}

bool AnalyzerLink::open()
{
    const std::string where = describe(worker.settings);
    // Several analyzers on one line share the open link.
    if (!worker.isConnected() && !worker.connect()) {
        lastError = "cannot open " + where;
        return false;
    }
    if (!worker.readDeviceId()) {
        lastError = "no analyzer answers on " + where + ": " + worker.lastErrorText;
        return false;
    }
    model = modelCodeOf(worker.deviceId.model);
    labels.assign(kParameterCount, std::string());
    if (!worker.readConfiguration(int16_t(model), labels)) {
        lastError = "the analyzer on " + where + " gave no logging configuration";
        return false;
    }
    if (!worker.readAreaCounts()) {
        lastError = "the analyzer on " + where + " gave no record counts";
        return false;
    }
    return true;
}

void AnalyzerLink::assume(const DEVICE_ID &identity, double ctRatio, double vtRatio,
                          const std::array<int16_t, kLogSlots> &codes)
{
    worker.deviceId = identity;
    worker.regTable = std::make_unique<DEVICE_REGISTER_TABLE>(ctRatio, vtRatio);
    worker.logConfig.paramCodes = codes;
    model = modelCodeOf(identity.model);
    labels.assign(kParameterCount, std::string());
    BuildParameterList(*worker.regTable, model, labels);
}

int modelCodeOf(const std::string &model)
{
    if (model.size() < 3)
        return 0;
    const char *first = model.data() + model.size() - 3;
    const char *last = model.data() + model.size();
    while (first < last && *first == ' ')
        ++first;
    int code = 0;
    const auto result = std::from_chars(first, last, code);
    return result.ec == std::errc() && result.ptr == last ? code : 0;
}
