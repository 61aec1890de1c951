#pragma once

#include "ui/ChartStats.h"

#include <array>
#include <cstddef>
#include <span>
#include <vector>

// A rectangle of the chart's scene, whose y grows downwards: the plot area, or one dragged over it.
struct ChartBox {
    double left = 0, top = 0, right = 0, bottom = 0;

    double width() const { return right - left; }
    double height() const { return bottom - top; }
    // Corners swapped where a drag went left or up.
    ChartBox normalized() const;
    // Empty (no width or no height) when the two do not overlap.
    ChartBox intersected(const ChartBox &other) const;
};

// What the chart shows and the arithmetic of the operator's zoom and pan: the time range in milliseconds
// since the epoch, and the value range of each value axis.
class ChartViewport
{
  public:
    static constexpr std::size_t kAxes = 2;
    // The time axis can show no less than a second, the records' resolution: finer, its millisecond
    // ends would no longer match the range. It stays within years 1 to 9999, where dates and
    // millisecond counts are well defined.
    static constexpr double kShortestMs = 1000;
    static constexpr double kEarliestMs = -62'135'596'800'000.0; // 0001-01-01 00:00 UTC
    static constexpr double kLatestMs = 253'402'300'799'999.0;   // 9999-12-31 23:59:59.999 UTC
    struct Range {
        double lo = 0, hi = 0;
    };

    double from() const { return first; }
    double to() const { return last; }
    Range values(std::size_t axis) const { return valueRanges[axis]; }
    // The time range is the operator's, not the whole log.
    bool zoomed() const { return operatorTime; }
    // The value ranges are the operator's (rectangle or pan), not fitted to what is shown.
    bool valuesFixed() const { return operatorValues; }

    // The whole log, given its record times in order: a minute ending at now when there are none, a
    // minute around a single instant. Value ranges are fitted again.
    void showAll(std::span<const double> times, double now);
    // Each returns false, the view unchanged, when the result would be shorter than the shortest range;
    // ends beyond the earliest or latest time stop there.
    bool setTimeRange(double from, double to);
    // One wheel step at time t: factor < 1 zooms in, and t stays where it was on the plot.
    bool zoomAround(double t, double factor);
    // The time and values of a rectangle of the plot; false without a change when it misses the plot.
    bool zoomInto(const ChartBox &rect, const ChartBox &plot);
    // Moves the view by a mouse movement in scene pixels: the content follows the pointer, and the time
    // range keeps its length at the earliest and latest time.
    bool pan(double dx, double dy, const ChartBox &plot);
    // Time at a horizontal scene position.
    double timeAt(double x, const ChartBox &plot) const;
    // Fits an axis to the values it shows, with a margin; does nothing while the operator's ranges hold.
    void fitValues(std::size_t axis, const ChartStats &shown);
    void releaseValues() { operatorValues = false; }

    // Slices of the time range a plot this wide is drawn in.
    static int bucketCount(double plotWidth);

  private:
    double first = 0, last = 0;
    std::array<Range, kAxes> valueRanges{};
    bool operatorTime = false;
    bool operatorValues = false;
};

// The records to draw of a series over [from, to], plus the neighbour on each side so the line runs to
// the edges; records without a value (NaN) are left out. More records than 2 x buckets are thinned to
// the first-seen minimum and maximum of each of buckets equal time slices, which draws the same envelope
// at a fraction of the cost. times are in order; out receives record indices in order.
void thinnedRecords(std::span<const double> times, std::span<const double> values, double from, double to,
                    int buckets, std::vector<int> &out);
