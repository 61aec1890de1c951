#include "text/GridHeader.h"

#include "model/EnergyColumns.h"
#include "text/DeviceText.h"

std::vector<QString> gridHeader(const RecordLog::Source &analyzer,
                                const std::array<QString, 3> &recordHeaders, bool energy)
{
    std::vector<QString> header(recordHeaders.begin(), recordHeaders.end());
    if (energy) {
        // The window asks for the energy headers while its grid still has the sector columns.
        const DEVICE_REGISTER_TABLE table = analyzer.table();
        for (const std::string &name : energyColumnNames(&table, kSectorGridColumns))
            header.push_back(fromDevice(name));
        return header;
    }
    const int limit = offeredParameterCount(analyzer.modelCode);
    const std::vector<std::string> labels = analyzer.parameterLabels();
    for (const int16_t code : analyzer.configuration.paramCodes)
        header.push_back(code >= 0 && code < limit ? fromDevice(labels[size_t(code)]) : QString());
    return header;
}
