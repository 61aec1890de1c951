#include "text/ArchivedSource.h"

#include "text/DeviceText.h"

RecordLog::Source archivedSource(const AnalyzerIdentity &analyzer,
                                 const std::array<int16_t, kLogSlots> &codes)
{
    auto device = [](const std::string &utf8) { return toDevice(QString::fromStdString(utf8)); };
    LOG_CONFIG configuration;
    configuration.paramCodes = codes;
    return {
        {device(analyzer.vendor), device(analyzer.model), device(analyzer.serial), device(analyzer.version)},
        configuration,
        0,
        analyzer.ctRatio,
        analyzer.vtRatio};
}

RecordRun RecordRun::of(const StoredRecord &stored, const RecordRun &before)
{
    const ArchiveRecord &r = stored.record;
    return {stored.analyzer, r.energy(), r.energy() ? before.codes : r.codes};
}
