#pragma once

#include "ui/ChartStats.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <span>
#include <vector>

class GridModel;

// What the chart draws, taken from the result grid: the quantities named in the header row (columns 3 on)
// and, for each record row with a valid date and time, its time and values. Records are held in time
// order, whatever order they arrived in. Times are milliseconds since the epoch of the record's local
// date and time; two-digit years are read as 20yy. Needs no window: the figures are testable as they are.
class ChartModel
{
  public:
    struct Quantity {
        int column;    // grid column
        QString name;  // header text as the grid shows it
        QString label; // the name without its unit
        QString unit;  // "V", "A", ...; empty for ratios such as a power factor
    };
    using Stats = ChartStats;

    // Reads the whole grid again.
    void load(const GridModel &grid);

    const std::vector<Quantity> &quantities() const { return columns; }
    int recordCount() const { return int(times.size()); }
    double time(int record) const { return times[size_t(record)]; }
    std::span<const double> recordTimes() const { return times; }
    // NaN where the cell holds no number.
    double value(int quantity, int record) const;
    // Grid row of a record, for the hover text.
    int row(int record) const { return rows[size_t(record)]; }

    // Over the records whose time lies in [from, to].
    Stats stats(int quantity, double from, double to) const;
    // The record whose time is nearest to t; -1 when there are none.
    int nearest(double t) const;
    // Line points of a quantity over [from, to], thinned to buckets time slices as thinnedRecords does.
    void points(int quantity, double from, double to, int buckets, QList<QPointF> &out) const;

    // Header text "NAME : UNIT" split; an energy header has no unit of its own and is looked up.
    static Quantity quantityOf(int column, const QString &header);

  private:
    // Index range [first, last) of the records with times in [from, to].
    std::pair<int, int> span(double from, double to) const;

    std::vector<Quantity> columns;
    std::vector<double> times;
    std::vector<int> rows;
    std::vector<std::vector<double>> values; // per quantity, per record in time order
    mutable std::vector<int> picked;         // reused by points()
};
