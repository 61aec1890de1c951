#include "ui/GridRecords.h"

#include "ui/GridModel.h"

#include "text/DeviceText.h"
#include "worker/comThread.h"

namespace
{
constexpr int kFirstValueColumn = 3;
} // namespace

QByteArray gridRecords(const GridModel &grid, RecordFormat format, const std::vector<Quantity> &logColumns,
                       const std::vector<Quantity> &energyColumns, const QString &analyzer)
{
    bool logs = false, energy = false;
    for (int row = 1; row < grid.rowCount(); ++row) {
        const int area = grid.rowArea(row);
        logs |= area >= 0 && area != kEnergyArea;
        energy |= area == kEnergyArea;
    }
    const RecordWriter writer(format, logs ? logColumns : std::vector<Quantity>(),
                              energy ? energyColumns : std::vector<Quantity>());
    QByteArray out = writer.header();
    std::array<double, kDecodedValues> values{};
    for (int row = 1; row < grid.rowCount(); ++row) {
        bool numbered = false;
        const int number = grid.cell(row, 0).toInt(&numbered);
        const int area = grid.rowArea(row);
        if (!numbered || area < 0)
            continue;
        for (int i = 0; i < kDecodedValues; ++i)
            values[size_t(i)] = grid.number(row, kFirstValueColumn + i);
        ExportRecord record;
        record.analyzer = analyzer;
        record.area = area;
        record.number = number;
        record.time = recordTime(toDevice(grid.cell(row, 1)), toDevice(grid.cell(row, 2)));
        record.energy = area == kEnergyArea;
        record.values = values;
        writer.append(record, out);
    }
    return out;
}
