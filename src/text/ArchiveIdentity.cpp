#include "text/ArchiveIdentity.h"

#include "archive/AnalyzerKey.h"
#include "text/DeviceText.h"

AnalyzerIdentity archiveIdentity(const RecordLog::Source &analyzer, Archive &archive)
{
    const DEVICE_ID &id = analyzer.identity;
    auto utf8 = [](const std::string &bytes) { return fromDevice(bytes).toStdString(); };
    AnalyzerIdentity identity{utf8(id.serial),  utf8(id.vendor),  utf8(id.model),
                              utf8(id.version), analyzer.ctRatio, analyzer.vtRatio};
    identity.serial = analyzerKey(archive, identity.serial, identity.model, analyzer.link);
    return identity;
}
