#pragma once

#include "model/RecordClock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What an energy log says for the bill over a period: consumption per hour, day and tariff band,
// reactive ratios against limits, peak demand, and what in the log could not be trusted. All times
// are the analyzer's clock (no zone) as seconds from 1970-01-01 00:00:00 (the model's clockSeconds).

using ClockSeconds = int64_t;

RecordClock clockOf(ClockSeconds seconds);

enum Counter { ImportKwh, ExportKwh, InductiveKvarh, CapacitiveKvarh, kCounters };
const char *counterKey(int counter); // "import_kwh", ...

struct EnergyReading {
    std::optional<RecordClock> clock; // none: the record had no valid time
    std::array<double, kCounters> counters{};
    double demandW = 0;
    double demandVa = 0;
    double powerFactor = 0;
};
// A reading from an energy record's decoded values (DecodeEnergyRecord's order: the counters, then
// TW DEM, TVA DEM and Total PF among the energy words).
EnergyReading energyReading(std::optional<RecordClock> clock, std::span<const double> values);

// [from, to): the end is the first second after the period.
struct ReportPeriod {
    ClockSeconds from = 0;
    ClockSeconds to = 0;
};
// A day, seven days from a day, a calendar month, and a month from day billingDay (1..28) of month.
ReportPeriod dayPeriod(int year, int month, int day);
ReportPeriod weekPeriod(int year, int month, int day);
ReportPeriod monthPeriod(int year, int month);
ReportPeriod billingPeriod(int year, int month, int billingDay);

// Clock minutes of the day; to <= from wraps midnight.
struct TariffBand {
    std::string name;
    int from = 0;
    int to = 0;
};
std::vector<TariffBand> defaultBands();
// "06:00-17:00,17:00-22:00,22:00-06:00", named T1, T2, ...; nullopt when malformed.
std::optional<std::vector<TariffBand>> parseBands(const std::string &text);

struct ReportOptions {
    ReportPeriod period;
    double inductiveLimit = 0.20;
    double capacitiveLimit = 0.15;
    std::vector<TariffBand> bands = defaultBands();
    std::optional<ClockSeconds> now; // for the projection of a period not yet over
};

struct Figures {
    std::array<double, kCounters> energy{};
    std::vector<double> bandsKwh;
    double maxDemandW = 0;
    std::optional<ClockSeconds> maxDemandTime; // of maxDemandW
    double maxDemandVa = 0;
    double pfSum = 0;
    int pfCount = 0;

    // nullopt without active import
    std::optional<double> inductiveRatio() const;
    std::optional<double> capacitiveRatio() const;
    std::optional<double> averagePf() const;
};

struct DayFigures {
    ClockSeconds day = 0; // its first second
    Figures figures;
};
struct HourFigures {
    ClockSeconds hour = 0;
    std::array<double, kCounters> energy{};
};
struct Gap {
    ClockSeconds from = 0;
    ClockSeconds to = 0;
};
struct Reset {
    ClockSeconds time = 0; // the reading that went down
    int counter = 0;
};
// Where the period's rate so far leads by its end; margin > 0 is kVArh left before the limit.
struct Projection {
    double importKwh = 0;
    double inductiveKvarh = 0;
    double capacitiveKvarh = 0;
    double inductiveMargin = 0;
    double capacitiveMargin = 0;
};

struct EnergyReport {
    ReportOptions options;
    Figures total;
    std::vector<DayFigures> days;
    std::vector<HourFigures> hours;
    std::vector<Gap> gaps;
    std::vector<Reset> resets;
    int readings = 0;    // with a valid time, all of them, also outside the period
    int withoutTime = 0; // left out
    std::optional<Projection> projection;

    bool inductiveExceeded() const;
    bool capacitiveExceeded() const;
    bool complete() const { return gaps.empty() && resets.empty(); }
};

// Energy between consecutive readings is spread evenly over the time between them; each hour, day and
// band gets its share of that time within the period. A counter going down gives nothing for that
// interval and is a reset; an interval longer than twice the median is a gap, still attributed. A stretch
// longer than that at the period's edges (up to now, for a period not yet over) without readings is a gap.
EnergyReport makeEnergyReport(std::vector<EnergyReading> readings, const ReportOptions &options);
