#pragma once

#include <span>

// Minimum, maximum and average of the numbers among some values; NaN marks a cell without a number
// and does not count.
struct ChartStats {
    double min = 0, max = 0, average = 0;
    int count = 0; // numeric values; the figures mean nothing when 0

    static ChartStats of(std::span<const double> values);
    // Both sets as one, as two quantities sharing a value axis.
    void merge(const ChartStats &other);
};
