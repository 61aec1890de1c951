// The chart's arithmetic without a window: zoom, pan and the ranges shown, thinning of a series to the
// pixels, and the figures of the statistics table.

#include "ui/ChartStats.h"
#include "ui/ChartViewport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace
{

const double kNaN = NAN;
const ChartBox kPlot{100, 50, 500, 350}; // 400 x 300 pixels

// Stats whose fitted range is exactly lo..hi, margin included.
ChartStats fittingTo(double lo, double hi)
{
    const double span = (hi - lo) / 1.1;
    return {lo + 0.05 * span, hi - 0.05 * span, 0, 2};
}

ChartViewport showing(double from, double to, ChartViewport::Range values)
{
    ChartViewport v;
    const std::vector<double> times{from, to};
    v.showAll(times, 0);
    for (std::size_t a = 0; a < ChartViewport::kAxes; ++a)
        v.fitValues(a, fittingTo(values.lo, values.hi));
    return v;
}

// ---- zoom around a point -------------------------------------------------------------------------

constexpr double kS = 1000; // a second, in the viewport's milliseconds
constexpr double kFirst = ChartViewport::kEarliestMs, kLast = ChartViewport::kLatestMs;

struct ZoomCase {
    const char *name;
    double shownFrom, shownTo, t, factor;
    bool accepted;
    double from, to; // expected, the old range when not accepted
};

TEST(ChartViewport, WheelZoomKeepsTheTimeUnderThePointerWithinLimits)
{
    const ZoomCase cases[] = {
        {"in at the middle", 0, 1000 * kS, 500 * kS, 0.8, true, 100 * kS, 900 * kS},
        {"in at the left edge", 0, 1000 * kS, 0, 0.5, true, 0, 500 * kS},
        {"in at the right edge", 0, 1000 * kS, 1000 * kS, 0.5, true, 500 * kS, 1000 * kS},
        {"out around a quarter", 0, 1000 * kS, 250 * kS, 2, true, -250 * kS, 1750 * kS},
        {"outside the range", 0, 1000 * kS, 2000 * kS, 0.5, true, 1000 * kS, 1500 * kS},
        {"in to a second", 0, 10 * kS, 5 * kS, 0.1, true, 4.5 * kS, 5.5 * kS},
        {"not below a second", 0, kS, 0.5 * kS, 0.8, false, 0, kS}, // nor to nothing
        {"mirrored", 0, 1000 * kS, 500 * kS, -1, false, 0, 1000 * kS},
        {"at no time", 0, 1000 * kS, kNaN, 0.8, false, 0, 1000 * kS},
        {"out past both ends", 0, 1000 * kS, 500 * kS, 1e12, true, kFirst, kLast},
    };
    for (const ZoomCase &c : cases) {
        SCOPED_TRACE(c.name);
        ChartViewport v;
        const std::vector<double> times{c.shownFrom, c.shownTo};
        v.showAll(times, 0);
        EXPECT_EQ(v.zoomAround(c.t, c.factor), c.accepted);
        EXPECT_DOUBLE_EQ(v.from(), c.from);
        EXPECT_DOUBLE_EQ(v.to(), c.to);
        EXPECT_EQ(v.zoomed(), c.accepted);
        if (c.accepted && c.to < kLast) { // the same fraction of the plot before and after
            EXPECT_NEAR((c.t - v.from()) / (v.to() - v.from()),
                        (c.t - c.shownFrom) / (c.shownTo - c.shownFrom), 1e-12);
        }
    }
}

// ---- pan -----------------------------------------------------------------------------------------

struct PanCase {
    const char *name;
    double shownFrom, shownTo, dx, dy;
    ChartBox plot;
    bool accepted;
    double from, to;
    ChartViewport::Range values;
    bool valuesFixed;
};

TEST(ChartViewport, PanMovesTimeAndValuesWithThePointer)
{
    // Values -0.5..10.5 shown; the plot is 400 pixels wide, 300 high.
    const double s = 1000 * kS;
    const ChartViewport::Range same{-0.5, 10.5};
    const PanCase cases[] = {
        {"right by a quarter", 0, s, 100, 0, kPlot, true, -s / 4, s * 3 / 4, same, false},
        {"past the log's start", 0, s, 400, 0, kPlot, true, -s, 0, same, false}, // the log is no limit
        {"down a tenth", 0, s, 0, 30, kPlot, true, 0, s, {0.6, 11.6}, true},
        {"up and left", 0, s, -40, -60, kPlot, true, s / 10, s * 11 / 10, {-2.7, 8.3}, true},
        {"right, stopped at the earliest time", kFirst + kS, kFirst + 11 * kS, 400, 0, kPlot, true, kFirst,
         kFirst + 10 * kS, same, false},
        {"left, stopped at the latest time", kLast - 11 * kS, kLast - kS, -400, 0, kPlot, true,
         kLast - 10 * kS, kLast, same, false},
        {"no plot yet", 0, s, 100, 30, ChartBox{100, 50, 100, 350}, false, 0, s, same, false},
        {"plot without height", 0, s, 100, 30, ChartBox{100, 50, 500, 50}, false, 0, s, same, false},
    };
    for (const PanCase &c : cases) {
        SCOPED_TRACE(c.name);
        ChartViewport v = showing(c.shownFrom, c.shownTo, same);
        EXPECT_EQ(v.pan(c.dx, c.dy, c.plot), c.accepted);
        EXPECT_DOUBLE_EQ(v.from(), c.from);
        EXPECT_DOUBLE_EQ(v.to(), c.to);
        for (std::size_t a = 0; a < ChartViewport::kAxes; ++a) {
            EXPECT_NEAR(v.values(a).lo, c.values.lo, 1e-9);
            EXPECT_NEAR(v.values(a).hi, c.values.hi, 1e-9);
        }
        EXPECT_EQ(v.valuesFixed(), c.valuesFixed);
    }
}

// ---- zoom into a rectangle -----------------------------------------------------------------------

struct RectCase {
    const char *name;
    ChartBox rect;
    bool accepted;
    double from, to;
    ChartViewport::Range values;
};

TEST(ChartViewport, RectangleZoomsIntoItsTimeAndValues)
{
    // Plot 0..400 x 0..200 pixels shows 0..400 s and values 0..100 (y grows downwards).
    const ChartBox plot{0, 0, 400, 200};
    const RectCase cases[] = {
        {"inside", {100, 50, 300, 150}, true, 100 * kS, 300 * kS, {25, 75}},
        {"dragged up and left", {300, 150, 100, 50}, true, 100 * kS, 300 * kS, {25, 75}},
        {"over the top left corner", {-50, -50, 200, 100}, true, 0, 200 * kS, {50, 100}},
        {"the whole plot", {0, 0, 400, 200}, true, 0, 400 * kS, {0, 100}},
        {"beside the plot", {450, 50, 600, 150}, false, 0, 400 * kS, {0, 100}},
        {"a line", {100, 80, 300, 80}, false, 0, 400 * kS, {0, 100}},
        {"under a second", {100, 50, 100.5, 150}, false, 0, 400 * kS, {0, 100}},
    };
    for (const RectCase &c : cases) {
        SCOPED_TRACE(c.name);
        ChartViewport v = showing(0, 400 * kS, {0, 100});
        EXPECT_EQ(v.zoomInto(c.rect, plot), c.accepted);
        EXPECT_DOUBLE_EQ(v.from(), c.from);
        EXPECT_DOUBLE_EQ(v.to(), c.to);
        EXPECT_NEAR(v.values(0).lo, c.values.lo, 1e-9);
        EXPECT_NEAR(v.values(0).hi, c.values.hi, 1e-9);
        EXPECT_EQ(v.valuesFixed(), c.accepted);
    }
}

// ---- everything, and the fitted value ranges -----------------------------------------------------

struct AllCase {
    const char *name;
    std::vector<double> times;
    double from, to;
};

TEST(ChartViewport, ShowAllSpansTheLogAndForgetsTheOperatorsRanges)
{
    const double now = 1e12;
    const AllCase cases[] = {
        {"no records: the last minute", {}, now - 60'000, now},
        {"one record: a minute around it", {5e11}, 5e11 - 30'000, 5e11 + 30'000},
        {"records of one instant", {5e11, 5e11, 5e11}, 5e11 - 30'000, 5e11 + 30'000},
        {"first to last", {1000, 2000, 9000}, 1000, 9000},
    };
    for (const AllCase &c : cases) {
        SCOPED_TRACE(c.name);
        ChartViewport v = showing(0, 1000 * kS, {0, 10});
        ASSERT_TRUE(v.pan(100, 30, kPlot));
        ASSERT_TRUE(v.zoomed() && v.valuesFixed());
        v.showAll(c.times, now);
        EXPECT_DOUBLE_EQ(v.from(), c.from);
        EXPECT_DOUBLE_EQ(v.to(), c.to);
        EXPECT_FALSE(v.zoomed());
        EXPECT_FALSE(v.valuesFixed());
    }
}

struct FitCase {
    const char *name;
    ChartStats shown;
    ChartViewport::Range expected;
};

TEST(ChartViewport, ValueAxisFitsWhatIsShownWithAMargin)
{
    const FitCase cases[] = {
        {"nothing shown", {}, {-0.05, 1.05}},
        {"a span", {10, 20, 15, 5}, {9.5, 20.5}},
        {"negative", {-30, -10, -20, 5}, {-31, -9}},
        {"flat at 230", {230, 230, 230, 3}, {218.5, 241.5}},
        {"flat at -200", {-200, -200, -200, 3}, {-210, -190}},
        {"flat near zero", {0.5, 0.5, 0.5, 1}, {-0.5, 1.5}},
    };
    for (const FitCase &c : cases) {
        SCOPED_TRACE(c.name);
        ChartViewport v = showing(0, 1000 * kS, {0, 10});
        v.fitValues(1, c.shown);
        EXPECT_NEAR(v.values(1).lo, c.expected.lo, 1e-9);
        EXPECT_NEAR(v.values(1).hi, c.expected.hi, 1e-9);
        // The operator's ranges hold until everything is shown again.
        ASSERT_TRUE(v.pan(0, 30, kPlot));
        const ChartViewport::Range fixed = v.values(1);
        v.fitValues(1, {0, 1000, 500, 2});
        EXPECT_EQ(v.values(1).lo, fixed.lo);
        v.releaseValues();
        v.fitValues(1, c.shown);
        EXPECT_NEAR(v.values(1).hi, c.expected.hi, 1e-9);
    }
}

// ---- thinning ------------------------------------------------------------------------------------

struct ThinCase {
    const char *name;
    std::vector<double> times, values;
    double from, to;
    int buckets;
    std::vector<int> expected;
};

TEST(ChartThinning, FewRecordsAreDrawnAsTheyAreWithANeighbourEachSide)
{
    const std::vector<double> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const ThinCase cases[] = {
        {"an empty series", {}, {}, 0, 10, 100, {}},
        {"one point inside", {5}, {1}, 0, 10, 100, {0}},
        {"one point before the range", {5}, {1}, 10, 20, 100, {0}},
        {"one point after the range", {25}, {1}, 10, 20, 100, {0}},
        {"one point without a value", {5}, {kNaN}, 0, 10, 100, {}},
        {"the middle", ten, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 3, 5, 100, {2, 3, 4, 5, 6}},
        {"from the start", ten, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, -5, 1, 100, {0, 1, 2}},
        {"gaps left out", ten, {0, kNaN, 2, 3, kNaN, 5, 6, 7, 8, 9}, 3, 5, 100, {2, 3, 5, 6}},
        {"no range", ten, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 5, 5, 1, {4, 5, 6}},
        {"two per slice, not thinned",
         ten,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
         0,
         9,
         5,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"thinned to one slice", ten, {5, 1, 2, 9, 4, 0, 6, 7, 8, 3}, 0, 9, 1, {3, 5}},
        {"thinned, neighbours kept", ten, {5, 1, 2, 9, 4, 0, 6, 7, 8, 3}, 1, 8, 1, {0, 3, 5, 9}},
        {"a flat slice gives one point", ten, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 9, 1, {0}},
    };
    std::vector<int> out{42};
    for (const ThinCase &c : cases) {
        SCOPED_TRACE(c.name);
        thinnedRecords(c.times, c.values, c.from, c.to, c.buckets, out);
        EXPECT_EQ(out, c.expected);
    }
}

struct ExtremesCase {
    const char *name;
    int records, buckets;
    double from, to; // as fractions of the log
};

TEST(ChartThinning, ThinningKeepsEachSlicesExtremes)
{
    const ExtremesCase cases[] = {
        {"the whole log", 2000, 100, 0, 1},
        {"a zoomed middle", 20000, 50, 0.3, 0.45},
        {"uneven slices", 997, 7, 0.01, 0.99},
        {"twice the slices plus one", 21, 10, 0, 1},
    };
    for (const ExtremesCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> times, values;
        for (int i = 0; i < c.records; ++i) {
            times.push_back(1000.0 * i);
            // Noise with gaps, a spike and a dip.
            values.push_back(i % 37 == 5 ? kNaN : std::sin(i * 0.7) * 100 + (i * 7919) % 13);
        }
        values[size_t(c.records / 3)] = 1e6;
        values[size_t(c.records * 2 / 3)] = -1e6;
        const double from = times.back() * c.from, to = times.back() * c.to;
        std::vector<int> out;
        thinnedRecords(times, values, from, to, c.buckets, out);

        EXPECT_LE(out.size(), size_t(2 * c.buckets + 2));
        EXPECT_TRUE(std::is_sorted(out.begin(), out.end()) &&
                    std::adjacent_find(out.begin(), out.end()) == out.end());
        // Every slice's lowest and highest value, found by brute force, is drawn.
        const double width = (to - from) / c.buckets;
        for (int b = 0; b < c.buckets; ++b) {
            double lo = INFINITY, hi = -INFINITY;
            for (size_t i = 0; i < times.size(); ++i) {
                const int slice = std::min(int((times[i] - from) / width), c.buckets - 1);
                if (times[i] < from || times[i] > to || slice != b || std::isnan(values[i]))
                    continue;
                lo = std::min(lo, values[i]);
                hi = std::max(hi, values[i]);
            }
            auto drawn = [&](double y) {
                return std::any_of(out.begin(), out.end(), [&](int i) { return values[size_t(i)] == y; });
            };
            if (std::isfinite(lo)) {
                EXPECT_TRUE(drawn(lo) && drawn(hi)) << "slice " << b;
            }
        }
        for (const int i : out)
            EXPECT_FALSE(std::isnan(values[size_t(i)]));
    }
}

// ---- statistics ----------------------------------------------------------------------------------

struct StatsCase {
    const char *name;
    std::vector<double> values;
    ChartStats expected;
};

TEST(ChartStats, FiguresOfTheNumbersAmongTheValues)
{
    const StatsCase cases[] = {
        {"none", {}, {0, 0, 0, 0}},
        {"only gaps", {kNaN, kNaN}, {0, 0, 0, 0}},
        {"one", {230.5}, {230.5, 230.5, 230.5, 1}},
        {"gaps between", {3, kNaN, -1, 4}, {-1, 4, 2, 3}},
        {"a gap first", {kNaN, 7, 9}, {7, 9, 8, 2}},
        {"negative only", {-5, -15, -10}, {-15, -5, -10, 3}},
        {"infinite counts", {1, INFINITY}, {1, INFINITY, INFINITY, 2}},
    };
    for (const StatsCase &c : cases) {
        SCOPED_TRACE(c.name);
        const ChartStats s = ChartStats::of(c.values);
        EXPECT_EQ(s.count, c.expected.count);
        EXPECT_EQ(s.min, c.expected.min);
        EXPECT_EQ(s.max, c.expected.max);
        EXPECT_DOUBLE_EQ(s.average, c.expected.average);
    }
}

struct MergeCase {
    const char *name;
    std::vector<double> a, b;
};

TEST(ChartStats, MergedFiguresEqualThoseOfBothSetsTogether)
{
    const MergeCase cases[] = {
        {"both empty", {}, {}},        {"first empty", {}, {1, 2}},
        {"second empty", {-3, 4}, {}}, {"second only gaps", {-3, 4}, {kNaN}},
        {"apart", {1, 2, 3}, {10}},    {"overlapping", {-4, 8, 2}, {0, 9, -7, 1}},
    };
    for (const MergeCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> both = c.a;
        both.insert(both.end(), c.b.begin(), c.b.end());
        const ChartStats expected = ChartStats::of(both);
        ChartStats merged = ChartStats::of(c.a);
        merged.merge(ChartStats::of(c.b));
        EXPECT_EQ(merged.count, expected.count);
        EXPECT_EQ(merged.min, expected.min);
        EXPECT_EQ(merged.max, expected.max);
        EXPECT_DOUBLE_EQ(merged.average, expected.average);
    }
}

} // namespace
