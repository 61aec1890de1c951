#include "ui/ChartModel.h"

#include "ui/ChartViewport.h"
#include "ui/GridModel.h"

#include "model/RegisterTable.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr int kFirstValueColumn = 3;
const QString kUnitSeparator = QStringLiteral(" : ");

// The energy counters' headers and the energy-table entry whose unit they carry.
struct CounterUnit {
    const char *header;
    int entry;
};
constexpr CounterUnit kCounterUnits[] = {
    {"kW/h.", 0}, {"kW/h.Ex.", 2}, {"kVAr/h. (L)", 4}, {"kVAr/h. (C)", 6}};

QString energyUnit(const QString &header)
{
    // Units do not depend on the transformer ratios.
    static const DEVICE_REGISTER_TABLE table(1.0, 1.0);
    const KTR58_ENERGY_TABLE &energy = table.energyTable;
    auto unit = [&energy](int entry) { return QString::fromStdString(energy.unit[size_t(entry)]); };
    for (const CounterUnit &c : kCounterUnits)
        if (header == QLatin1String(c.header))
            return unit(c.entry);
    for (int entry = 0; entry < kEnergyFieldCount; ++entry)
        if (!energy.name[size_t(entry)].empty() &&
            header == QString::fromStdString(energy.name[size_t(entry)]))
            return unit(entry);
    return {};
}

// The local zone's offset of each hour asked for, remembered: asking the zone costs system calls, and
// records come in runs of the same hour. Zones change their offset on the hour.
class LocalOffset
{
  public:
    qint64 seconds(QDate day, int hour)
    {
        if (day != lastDay || hour != lastHour) {
            lastDay = day;
            lastHour = hour;
            offset = QDateTime(day, QTime(hour, 0)).offsetFromUtc();
        }
        return offset;
    }

  private:
    QDate lastDay;
    int lastHour = -1;
    qint64 offset = 0;
};

// Milliseconds since the epoch of the clock's reading in the host's zone.
double recordTime(const RecordClock &c, LocalOffset &zone)
{
    const QDate day(c.year, c.month, c.day);
    return double((clockSeconds(c) - zone.seconds(day, c.hour)) * 1000);
}

} // namespace

ChartModel::Quantity ChartModel::quantityOf(int column, const QString &header)
{
    const qsizetype split = header.lastIndexOf(kUnitSeparator);
    if (split < 0)
        return {column, header, header, energyUnit(header)};
    return {column, header, header.left(split), header.mid(split + kUnitSeparator.size()).trimmed()};
}

void ChartModel::load(const GridModel &grid)
{
    // Each record row under the header above it: records of another configuration have their values in
    // other columns. A quantity is its header text, wherever it stands.
    columns.clear();
    std::vector<std::vector<int>> headers; // per header row, the column of each quantity or -1
    std::vector<int> headerOf(size_t(std::max(grid.rowCount(), 0)), -1);
    for (int r = 0; r < grid.rowCount(); ++r) {
        if (!grid.isHeader(r)) {
            headerOf[size_t(r)] = int(headers.size()) - 1;
            continue;
        }
        std::vector<int> &at = headers.emplace_back(columns.size(), -1);
        for (int c = kFirstValueColumn; c < grid.columnCount(); ++c) {
            const QString header = grid.cell(r, c);
            if (header.trimmed().isEmpty())
                continue;
            const auto known = std::find_if(columns.begin(), columns.end(),
                                            [&header](const Quantity &q) { return q.name == header; });
            if (known == columns.end()) {
                columns.push_back(quantityOf(c, header));
                at.push_back(c);
            } else if (at[size_t(known - columns.begin())] < 0) {
                at[size_t(known - columns.begin())] = c;
            }
        }
    }
    for (std::vector<int> &at : headers)
        at.resize(columns.size(), -1);

    std::vector<std::pair<double, int>> order; // time, grid row
    LocalOffset zone;
    for (int r = 1; r < grid.rowCount(); ++r)
        if (headerOf[size_t(r)] >= 0)
            if (const std::optional<RecordClock> clock = grid.clock(r))
                order.emplace_back(recordTime(*clock, zone), r);
    // Stable: records of the same second keep the grid's order.
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    times.resize(order.size());
    rows.resize(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        times[i] = order[i].first;
        rows[i] = order[i].second;
    }
    values.resize(columns.size());
    for (std::vector<double> &v : values)
        v.resize(order.size());
    // Row by row: each grid row is a block of its own, visited once.
    for (size_t i = 0; i < order.size(); ++i) {
        const std::vector<int> &at = headers[size_t(headerOf[size_t(rows[i])])];
        for (size_t q = 0; q < columns.size(); ++q)
            values[q][i] = at[q] < 0 ? std::numeric_limits<double>::quiet_NaN() : grid.number(rows[i], at[q]);
    }
}

double ChartModel::value(int quantity, int record) const
{
    return values[size_t(quantity)][size_t(record)];
}

std::pair<int, int> ChartModel::span(double from, double to) const
{
    const auto first = std::lower_bound(times.begin(), times.end(), from);
    const auto last = std::upper_bound(first, times.end(), to);
    return {int(first - times.begin()), int(last - times.begin())};
}

ChartModel::Stats ChartModel::stats(int quantity, double from, double to) const
{
    const auto [first, last] = span(from, to);
    return ChartStats::of(std::span(values[size_t(quantity)]).subspan(size_t(first), size_t(last - first)));
}

int ChartModel::nearest(double t) const
{
    if (times.empty())
        return -1;
    const auto after = std::lower_bound(times.begin(), times.end(), t);
    if (after == times.begin())
        return 0;
    if (after == times.end())
        return int(times.size()) - 1;
    const auto before = after - 1;
    return int((t - *before <= *after - t ? before : after) - times.begin());
}

void ChartModel::points(int quantity, double from, double to, int buckets, QList<QPointF> &out) const
{
    const std::vector<double> &v = values[size_t(quantity)];
    thinnedRecords(times, v, from, to, buckets, picked);
    out.clear();
    out.reserve(qsizetype(picked.size()));
    for (const int i : picked)
        out.append(QPointF(times[size_t(i)], v[size_t(i)]));
}
