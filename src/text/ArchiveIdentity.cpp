#include "text/ArchiveIdentity.h"

#include "archive/AnalyzerKey.h"
#include "text/DeviceText.h"

namespace
{
AnalyzerIdentity utf8Identity(const RecordLog::Source &analyzer)
{
    const DEVICE_ID &id = analyzer.identity;
    auto utf8 = [](const std::string &bytes) { return fromDevice(bytes).toStdString(); };
    return {utf8(id.serial),  utf8(id.vendor),  utf8(id.model),
            utf8(id.version), analyzer.ctRatio, analyzer.vtRatio};
}
} // namespace

AnalyzerIdentity archiveIdentity(const RecordLog::Source &analyzer, Archive &archive)
{
    AnalyzerIdentity identity = utf8Identity(analyzer);
    identity.serial = analyzerKey(archive, identity.serial, identity.model, analyzer.link);
    return identity;
}

AnalyzerIdentity plainIdentity(const RecordLog::Source &analyzer)
{
    AnalyzerIdentity identity = utf8Identity(analyzer);
    if (identity.serial.empty())
        identity.serial = analyzer.link;
    return identity;
}
