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

// The kinds of log the grid holds, then each row that holds a record, in grid order, with the number of
// the header it stands under.
void forEachRecord(const GridModel &grid, const QString &analyzer,
                   const std::function<void(bool, bool)> &kinds,
                   const std::function<void(const ExportRecord &, int)> &record)
{
    bool logs = false, energy = false;
    for (int row = 1; row < grid.rowCount(); ++row) {
        const int area = grid.rowArea(row);
        logs |= area >= 0 && area != kEnergyArea;
        energy |= area == kEnergyArea;
    }
    kinds(logs, energy);
    std::array<double, kDecodedValues> values{};
    int header = 0;
    for (int row = 1; row < grid.rowCount(); ++row) {
        header += grid.isHeader(row);
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
        record(r, header);
    }
}

// The writer's layout of each header: its own log columns, the energy columns all share.
template <typename Writer>
std::vector<int> addLayouts(Writer &writer, bool logs, bool energy,
                            const std::vector<std::vector<Quantity>> &logColumns,
                            const std::vector<Quantity> &energyColumns)
{
    std::vector<int> layouts;
    for (const std::vector<Quantity> &columns : logColumns)
        layouts.push_back(writer.addLayout(logs ? columns : std::vector<Quantity>(),
                                           energy ? energyColumns : std::vector<Quantity>()));
    return layouts;
}

int layoutOf(const std::vector<int> &layouts, int header)
{
    return layouts.empty() ? 0 : layouts[size_t(std::min<int>(header, int(layouts.size()) - 1))];
}

} // namespace

QByteArray gridRecords(const GridModel &grid, RecordFormat format,
                       const std::vector<std::vector<Quantity>> &logColumns,
                       const std::vector<Quantity> &energyColumns, const QString &analyzer)
{
    RecordWriter writer(format);
    QByteArray out;
    std::vector<int> layouts;
    forEachRecord(
        grid, analyzer,
        [&](bool logs, bool energy) {
            layouts = addLayouts(writer, logs, energy, logColumns, energyColumns);
            out = writer.header();
        },
        [&](const ExportRecord &record, int header) {
            writer.append(record, out, layoutOf(layouts, header));
        });
    return out;
}

QByteArray gridWorkbook(const GridModel &grid, const std::vector<std::vector<Quantity>> &logColumns,
                        const std::vector<Quantity> &energyColumns, const QString &analyzer,
                        std::string &error)
{
    RecordWorkbook book;
    std::vector<int> layouts;
    forEachRecord(
        grid, analyzer,
        [&](bool logs, bool energy) {
            layouts = addLayouts(book.writer(), logs, energy, logColumns, energyColumns);
        },
        [&](const ExportRecord &record, int header) { book.append(record, layoutOf(layouts, header)); });
    return book.finish(error);
}
