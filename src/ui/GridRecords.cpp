#include "ui/GridRecords.h"

#include "ui/GridModel.h"

#include "model/AnalyzerMap.h"

#include <functional>

namespace
{
constexpr int kFirstValueColumn = 3;
} // namespace

namespace
{

// The kinds of log the grid holds, then each row that holds a record, in grid order.
void forEachRecord(const GridModel &grid, const QString &analyzer,
                   const std::function<void(bool, bool)> &kinds,
                   const std::function<void(const ExportRecord &)> &record)
{
    bool logs = false, energy = false;
    for (int row = 1; row < grid.rowCount(); ++row) {
        const int area = grid.rowArea(row);
        logs |= area >= 0 && area != kEnergyArea;
        energy |= area == kEnergyArea;
    }
    kinds(logs, energy);
    std::array<double, kDecodedValues> values{};
    for (int row = 1; row < grid.rowCount(); ++row) {
        bool numbered = false;
        const int number = grid.cell(row, 0).toInt(&numbered);
        const int area = grid.rowArea(row);
        if (!numbered || area < 0)
            continue;
        for (int i = 0; i < kDecodedValues; ++i)
            values[size_t(i)] = grid.number(row, kFirstValueColumn + i);
        ExportRecord r;
        r.analyzer = analyzer;
        r.area = area;
        r.number = number;
        r.time = clockTime(grid.clock(row), QTimeZone::systemTimeZone());
        r.energy = area == kEnergyArea;
        r.values = values;
        record(r);
    }
}

} // namespace

QByteArray gridRecords(const GridModel &grid, RecordFormat format, const std::vector<Quantity> &logColumns,
                       const std::vector<Quantity> &energyColumns, const QString &analyzer)
{
    RecordWriter writer(format);
    QByteArray out;
    forEachRecord(
        grid, analyzer,
        [&](bool logs, bool energy) {
            writer.addLayout(logs ? logColumns : std::vector<Quantity>(),
                             energy ? energyColumns : std::vector<Quantity>());
            out = writer.header();
        },
        [&](const ExportRecord &record) { writer.append(record, out); });
    return out;
}

QByteArray gridWorkbook(const GridModel &grid, const std::vector<Quantity> &logColumns,
                        const std::vector<Quantity> &energyColumns, const QString &analyzer,
                        std::string &error)
{
    RecordWorkbook book;
    forEachRecord(
        grid, analyzer,
        [&](bool logs, bool energy) {
            book.writer().addLayout(logs ? logColumns : std::vector<Quantity>(),
                                    energy ? energyColumns : std::vector<Quantity>());
        },
        [&](const ExportRecord &record) { book.append(record); });
    return book.finish(error);
}
