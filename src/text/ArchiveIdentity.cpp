#include "text/ArchiveIdentity.h"

#include "text/DeviceText.h"

AnalyzerIdentity archiveIdentity(const RecordLog::Source &analyzer)
{
    const DEVICE_ID &id = analyzer.identity;
    auto utf8 = [](const std::string &bytes) { return fromDevice(bytes).toStdString(); };
    return {utf8(id.serial),  utf8(id.vendor),  utf8(id.model),
            utf8(id.version), analyzer.ctRatio, analyzer.vtRatio};
}
