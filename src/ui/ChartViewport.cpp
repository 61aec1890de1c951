#include "ui/ChartViewport.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kEmptyRangeMs = 60'000;
constexpr double kValueMargin = 0.05; // of the span shown, above and below
} // namespace

ChartBox ChartBox::normalized() const
{
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

ChartBox ChartBox::intersected(const ChartBox &other) const
{
    const ChartBox a = normalized(), b = other.normalized();
    const ChartBox r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                     std::min(a.bottom, b.bottom)};
    return r.width() > 0 && r.height() > 0 ? r : ChartBox{};
}

void ChartViewport::showAll(std::span<const double> times, double now)
{
    operatorTime = false;
    operatorValues = false;
    if (times.empty()) {
        first = now - kEmptyRangeMs;
        last = now;
        return;
    }
    first = times.front();
    last = times.back();
    if (last <= first) {
        first -= kEmptyRangeMs / 2;
        last += kEmptyRangeMs / 2;
    }
}

bool ChartViewport::setTimeRange(double from, double to)
{
    from = std::max(from, kEarliestMs);
    to = std::min(to, kLatestMs);
    if (!(to - from >= kShortestMs)) // NaN too
        return false;
    first = from;
    last = to;
    operatorTime = true;
    return true;
}

bool ChartViewport::zoomAround(double t, double factor)
{
    return setTimeRange(t - (t - first) * factor, t + (last - t) * factor);
}

double ChartViewport::timeAt(double x, const ChartBox &plot) const
{
    return first + (x - plot.left) / plot.width() * (last - first);
}

bool ChartViewport::zoomInto(const ChartBox &rect, const ChartBox &plot)
{
    const ChartBox r = rect.intersected(plot);
    if (r.width() <= 0 || r.height() <= 0)
        return false;
    const auto before = valueRanges;
    const bool fixedBefore = operatorValues;
    const double from = timeAt(r.left, plot), to = timeAt(r.right, plot);
    for (Range &v : valueRanges) {
        const double span = v.hi - v.lo, base = v.lo;
        v.lo = base + (plot.bottom - r.bottom) / plot.height() * span;
        v.hi = base + (plot.bottom - r.top) / plot.height() * span;
    }
    operatorValues = true;
    if (setTimeRange(from, to))
        return true;
    valueRanges = before; // a rectangle too narrow changes nothing
    operatorValues = fixedBefore;
    return false;
}

bool ChartViewport::pan(double dx, double dy, const ChartBox &plot)
{
    if (plot.width() <= 0 || plot.height() <= 0)
        return false;
    if (dy != 0) {
        for (Range &v : valueRanges) {
            const double shift = dy / plot.height() * (v.hi - v.lo);
            v.lo += shift;
            v.hi += shift;
        }
        operatorValues = true;
    }
    const double shift =
        std::max(std::min(dx / plot.width() * (last - first), first - kEarliestMs), last - kLatestMs);
    return setTimeRange(first - shift, last - shift);
}

void ChartViewport::fitValues(std::size_t axis, const ChartStats &shown)
{
    if (operatorValues)
        return;
    const double lo = shown.count ? shown.min : 0, hi = shown.count ? shown.max : 1;
    // A flat line gets room around it rather than an axis of zero height.
    const double margin = hi > lo ? (hi - lo) * kValueMargin : std::max(std::abs(hi) * kValueMargin, 1.0);
    valueRanges[axis] = {lo - margin, hi + margin};
}

int ChartViewport::bucketCount(double plotWidth)
{
    // A slice per two pixel columns, each drawn as its lowest and highest value: finer would not show.
    return std::max(int(plotWidth) / 2, 200);
}

void thinnedRecords(std::span<const double> times, std::span<const double> values, double from, double to,
                    int buckets, std::vector<int> &out)
{
    out.clear();
    const int count = int(times.size());
    const auto lower = std::lower_bound(times.begin(), times.end(), from);
    int first = int(lower - times.begin());
    int last = int(std::upper_bound(lower, times.end(), to) - times.begin());
    first = std::max(first - 1, 0);
    last = std::min(last + 1, count);
    auto at = [&times](int i) { return times[std::size_t(i)]; };
    auto value = [&values](int i) { return values[std::size_t(i)]; };
    auto add = [&](int i) {
        if (!std::isnan(value(i)))
            out.push_back(i);
    };
    buckets = std::max(buckets, 1);
    if (last - first <= 2 * buckets || to <= from) {
        out.reserve(std::size_t(last - first));
        for (int i = first; i < last; ++i)
            add(i);
        return;
    }

    out.reserve(std::size_t(2 * buckets + 2));
    const double width = (to - from) / buckets;
    auto bucketOf = [&](int i) { return std::min(int((at(i) - from) / width), buckets - 1); };
    int i = first;
    // The neighbour before the range keeps its own point; so does the one after it.
    if (at(i) < from)
        add(i++);
    while (i < last && at(i) <= to) {
        const int bucket = bucketOf(i);
        int lo = -1, hi = -1;
        for (; i < last && at(i) <= to && bucketOf(i) == bucket; ++i) {
            if (std::isnan(value(i)))
                continue;
            if (lo < 0 || value(i) < value(lo))
                lo = i;
            if (hi < 0 || value(i) > value(hi))
                hi = i;
        }
        if (lo >= 0) {
            add(std::min(lo, hi));
            if (lo != hi)
                add(std::max(lo, hi));
        }
    }
    if (i < last)
        add(i);
}
