#include "ui/ChartStats.h"

#include <algorithm>
#include <cmath>

ChartStats ChartStats::of(std::span<const double> values)
{
    ChartStats s;
    double sum = 0;
    for (const double x : values) {
        if (std::isnan(x))
            continue;
        s.min = s.count ? std::min(s.min, x) : x;
        s.max = s.count ? std::max(s.max, x) : x;
        sum += x;
        ++s.count;
    }
    if (s.count)
        s.average = sum / s.count;
    return s;
}

void ChartStats::merge(const ChartStats &other)
{
    if (other.count == 0)
        return;
    if (count == 0) {
        *this = other;
        return;
    }
    min = std::min(min, other.min);
    max = std::max(max, other.max);
    const int total = count + other.count;
    average = (average * count + other.average * other.count) / total;
    count = total;
}
