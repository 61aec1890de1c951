#include "worker/AnalyzerSession.h"

#include <charconv>

AnalyzerSession::Opened AnalyzerSession::open()
{
    Opened opened;
    const std::pair<Step, bool (AnalyzerSession::*)()> steps[] = {
        {Step::Link, &AnalyzerSession::link},
        {Step::Identity, &AnalyzerSession::identify},
        {Step::Configuration, &AnalyzerSession::configure},
        {Step::Counts, &AnalyzerSession::count},
    };
    for (const auto &[step, run] : steps) {
        if (!(this->*run)()) {
            opened.failed = step;
            opened.reason = failure;
            break;
        }
    }
    opened.facts = known;
    return opened;
}

bool AnalyzerSession::failed()
{
    failure = worker.lastError();
    return false;
}

bool AnalyzerSession::link()
{
    return worker.isConnected() || worker.connect() || failed();
}

bool AnalyzerSession::identify()
{
    if (!worker.readDeviceId())
        return failed();
    known.identity = worker.identity();
    known.modelCode = modelCodeOf(known.identity.model);
    return true;
}

bool AnalyzerSession::configure()
{
    std::vector<std::string> labels(kParameterCount);
    if (!worker.readConfiguration(int16_t(known.modelCode), labels))
        return failed();
    known.labels = std::move(labels);
    known.configuration = worker.configuration();
    return true;
}

bool AnalyzerSession::count()
{
    if (!worker.readAreaCounts())
        return failed();
    known.counts = worker.recordCounts();
    return true;
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
