#include "Plant.h"

#include "Random.h"

#include <array>
#include <cmath>

namespace
{

constexpr int64_t kDay = 86400;
constexpr int64_t kHour = 3600;
constexpr int64_t kInstalled = 7305 * kDay; // 2020-01-01, a Wednesday: the counters started at 0
constexpr int kInstalledWeekday = 2;        // Monday 0
constexpr int kCycle = 14;                  // days after which the reactive shares repeat

double loadKw(int weekday, int hour)
{
    const double base = 6; // lighting, servers, compressors left on
    if (weekday == 6)
        return base;
    if (weekday == 5)
        return hour >= 8 && hour < 14 ? base + 8 : base;
    if (hour == 7 || hour == 17)
        return base + 15;
    if (hour >= 8 && hour < 17)
        return base + 22;
    return hour >= 18 && hour < 22 ? base + 5 : base;
}

// Of the active energy, per day of the cycle: mostly 15-20 %, some days over the 20 % limit.
double inductiveShare(uint64_t seed, int cycleDay)
{
    const double draw =
        static_cast<double>(mix(seed ^ (0x1D0000u + static_cast<uint64_t>(cycleDay))) % 1000) / 1000;
    return 0.15 + 0.10 * draw * draw;
}

// Compensation left on while the plant is idle at night overshoots a little.
double capacitiveKw(int hour)
{
    return hour < 6 || hour >= 22 ? 0.9 : 0;
}

double exportKw(int weekday, int hour)
{
    return weekday == 6 && hour >= 11 && hour < 15 ? 0.5 : 0;
}

struct Hourly {
    double import, exported, inductive, capacitive;
};

Hourly hourOf(uint64_t seed, int64_t day, int hour)
{
    const int weekday = static_cast<int>((kInstalledWeekday + day) % 7);
    const double load = loadKw(weekday, hour);
    return {load, exportKw(weekday, hour), load * inductiveShare(seed, static_cast<int>(day % kCycle)),
            capacitiveKw(hour)};
}

void add(Hourly &sum, const Hourly &h, double share = 1)
{
    sum.import += h.import * share;
    sum.exported += h.exported * share;
    sum.inductive += h.inductive * share;
    sum.capacitive += h.capacitive * share;
}

} // namespace

PlantReading plantAt(uint64_t seed, int64_t instant)
{
    const int64_t since = instant > kInstalled ? instant - kInstalled : 0;
    const int64_t days = since / kDay;
    const int hour = static_cast<int>(since % kDay / kHour);
    const double inHour = static_cast<double>(since % kHour) / kHour;

    // Whole cycles of 14 days (weekdays and shares repeat), the days left, the hours, the part hour.
    Hourly cycle{}, total{};
    for (int d = 0; d < kCycle; ++d)
        for (int h = 0; h < 24; ++h)
            add(cycle, hourOf(seed, d, h));
    add(total, cycle, static_cast<double>(days / kCycle));
    for (int64_t d = days - days % kCycle; d < days; ++d)
        for (int h = 0; h < 24; ++h)
            add(total, hourOf(seed, d, h));
    for (int h = 0; h < hour; ++h)
        add(total, hourOf(seed, days, h));
    const Hourly now = hourOf(seed, days, hour);
    add(total, now, inHour);

    const double watts = now.import * 1000 * (0.97 + 0.03 * noise(seed, 90, instant / 900));
    const double vars = watts * now.inductive / now.import;
    const double va = std::sqrt(watts * watts + vars * vars);
    return {std::floor(total.import),
            std::floor(total.exported),
            std::floor(total.inductive),
            std::floor(total.capacitive),
            watts,
            vars,
            va,
            watts / va};
}
