#include "report/EnergyReport.h"

#include "model/RecordDecoding.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace
{

constexpr ClockSeconds kDay = 86400;
constexpr ClockSeconds kHour = 3600;
const std::chrono::sys_days kEpoch{}; // the model's clockSeconds count from 1970-01-01

ClockSeconds dateSeconds(int year, int month, int day)
{
    const std::chrono::sys_days date{std::chrono::year{year} / month / day};
    return (date - kEpoch).count() * kDay;
}

ClockSeconds floorTo(ClockSeconds t, ClockSeconds step)
{
    return t - ((t % step) + step) % step;
}

bool inBand(const TariffBand &band, int minute)
{
    return band.from < band.to ? minute >= band.from && minute < band.to
                               : minute >= band.from || minute < band.to;
}

void addDemand(Figures &f, const EnergyReading &r, ClockSeconds t)
{
    if (!f.maxDemandTime || r.demandW > f.maxDemandW) {
        f.maxDemandW = r.demandW;
        f.maxDemandTime = t;
    }
    f.maxDemandVa = f.pfCount == 0 ? r.demandVa : std::max(f.maxDemandVa, r.demandVa);
    f.pfSum += r.powerFactor;
    ++f.pfCount;
}

std::optional<double> ratio(const Figures &f, int counter)
{
    if (f.energy[ImportKwh] <= 0)
        return std::nullopt;
    return f.energy[size_t(counter)] / f.energy[ImportKwh];
}

} // namespace

EnergyReading energyReading(std::optional<RecordClock> clock, std::span<const double> values)
{
    const auto slotOf = [](int16_t code) {
        return size_t(std::find(kEnergyValueCodes.begin(), kEnergyValueCodes.end(), code) -
                      kEnergyValueCodes.begin());
    };
    static const size_t demandW = slotOf(57), demandVa = slotOf(59), powerFactor = slotOf(77);
    EnergyReading reading;
    reading.clock = clock;
    if (values.size() < size_t(kEnergyValues))
        return reading;
    std::copy_n(values.begin(), kCounters, reading.counters.begin());
    reading.demandW = values[demandW];
    reading.demandVa = values[demandVa];
    reading.powerFactor = values[powerFactor];
    return reading;
}

RecordClock clockOf(ClockSeconds seconds)
{
    const ClockSeconds day = floorTo(seconds, kDay);
    const std::chrono::year_month_day date{kEpoch + std::chrono::days{day / kDay}};
    const int64_t rest = seconds - day;
    return {int(date.year()),  int(unsigned(date.month())), int(unsigned(date.day())),
            int(rest / kHour), int(rest % kHour / 60),      int(rest % 60)};
}

const char *counterKey(int counter)
{
    static const char *const keys[] = {"import_kwh", "export_kwh", "inductive_kvarh", "capacitive_kvarh"};
    return keys[counter];
}

ReportPeriod dayPeriod(int year, int month, int day)
{
    const ClockSeconds from = dateSeconds(year, month, day);
    return {from, from + kDay};
}

ReportPeriod weekPeriod(int year, int month, int day)
{
    const ClockSeconds from = dateSeconds(year, month, day);
    return {from, from + 7 * kDay};
}

ReportPeriod monthPeriod(int year, int month)
{
    return billingPeriod(year, month, 1);
}

ReportPeriod billingPeriod(int year, int month, int billingDay)
{
    const int nextYear = month == 12 ? year + 1 : year;
    const int nextMonth = month == 12 ? 1 : month + 1;
    return {dateSeconds(year, month, billingDay), dateSeconds(nextYear, nextMonth, billingDay)};
}

std::vector<TariffBand> defaultBands()
{
    return {{"T1", 6 * 60, 17 * 60}, {"T2", 17 * 60, 22 * 60}, {"T3", 22 * 60, 6 * 60}};
}

std::optional<std::vector<TariffBand>> parseBands(const std::string &text)
{
    const auto minute = [](std::string_view hhmm) -> std::optional<int> {
        int h = -1, m = -1;
        if (hhmm.size() != 5 || hhmm[2] != ':')
            return std::nullopt;
        const auto h1 = std::from_chars(hhmm.data(), hhmm.data() + 2, h);
        const auto m1 = std::from_chars(hhmm.data() + 3, hhmm.data() + 5, m);
        if (h1.ptr != hhmm.data() + 2 || m1.ptr != hhmm.data() + 5 || h < 0 || h > 24 || m < 0 || m > 59 ||
            (h == 24 && m != 0))
            return std::nullopt;
        return h * 60 + m;
    };
    std::vector<TariffBand> bands;
    std::string_view rest = text;
    while (!rest.empty() || bands.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (item.size() != 11 || item[5] != '-')
            return std::nullopt;
        const auto from = minute(item.substr(0, 5)), to = minute(item.substr(6));
        if (!from || !to || *from >= 24 * 60 || *from == *to)
            return std::nullopt;
        std::string name = "T"; // appended apart: "T" + string draws a false -Wrestrict from GCC 12 at -O3
        name += std::to_string(bands.size() + 1);
        bands.push_back({std::move(name), *from, *to % (24 * 60)});
        if (comma != std::string_view::npos && rest.empty())
            return std::nullopt; // a trailing comma
    }
    return bands;
}

std::optional<double> Figures::inductiveRatio() const
{
    return ratio(*this, InductiveKvarh);
}

std::optional<double> Figures::capacitiveRatio() const
{
    return ratio(*this, CapacitiveKvarh);
}

std::optional<double> Figures::averagePf() const
{
    return pfCount ? std::optional(pfSum / pfCount) : std::nullopt;
}

bool EnergyReport::inductiveExceeded() const
{
    return total.inductiveRatio().value_or(0) > options.inductiveLimit;
}

bool EnergyReport::capacitiveExceeded() const
{
    return total.capacitiveRatio().value_or(0) > options.capacitiveLimit;
}

EnergyReport makeEnergyReport(std::vector<EnergyReading> readings, const ReportOptions &options)
{
    EnergyReport report;
    report.options = options;
    const ClockSeconds from = options.period.from, to = options.period.to;
    const size_t bandCount = options.bands.size();

    struct Timed {
        ClockSeconds t;
        const EnergyReading *reading;
    };
    std::vector<Timed> timed;
    timed.reserve(readings.size());
    for (const EnergyReading &r : readings) {
        if (r.clock)
            timed.push_back({clockSeconds(*r.clock), &r});
        else
            ++report.withoutTime;
    }
    std::stable_sort(timed.begin(), timed.end(), [](const Timed &a, const Timed &b) { return a.t < b.t; });
    report.readings = int(timed.size());

    report.total.bandsKwh.assign(bandCount, 0);
    const ClockSeconds day0 = floorTo(from, kDay), hour0 = floorTo(from, kHour);
    for (ClockSeconds d = day0; d < to; d += kDay) {
        report.days.push_back({d, {}});
        report.days.back().figures.bandsKwh.assign(bandCount, 0);
    }
    for (ClockSeconds h = hour0; h < to; h += kHour)
        report.hours.push_back({h, {}});

    // Band edges as seconds of the day, to split the pieces of an interval at them.
    std::vector<ClockSeconds> edges{kDay};
    for (const TariffBand &b : options.bands) {
        edges.push_back(b.from * 60);
        edges.push_back(b.to * 60);
    }
    std::sort(edges.begin(), edges.end());

    const auto attribute = [&](ClockSeconds t, const std::array<double, kCounters> &delta, double share) {
        Figures &day = report.days[size_t((t - day0) / kDay)].figures;
        auto &hour = report.hours[size_t((t - hour0) / kHour)].energy;
        for (size_t c = 0; c < kCounters; ++c) {
            const double part = delta[c] * share;
            report.total.energy[c] += part;
            day.energy[c] += part;
            hour[c] += part;
        }
        const int minute = int((t - floorTo(t, kDay)) / 60);
        for (size_t b = 0; b < bandCount; ++b) {
            if (inBand(options.bands[b], minute)) {
                report.total.bandsKwh[b] += delta[ImportKwh] * share;
                day.bandsKwh[b] += delta[ImportKwh] * share;
                break;
            }
        }
    };

    std::vector<ClockSeconds> spacing;
    for (size_t i = 1; i < timed.size(); ++i)
        if (timed[i].t > timed[i - 1].t)
            spacing.push_back(timed[i].t - timed[i - 1].t);
    ClockSeconds usual = 0;
    if (!spacing.empty()) {
        std::nth_element(spacing.begin(), spacing.begin() + ptrdiff_t(spacing.size() / 2), spacing.end());
        usual = spacing[spacing.size() / 2];
    }

    for (size_t i = 1; i < timed.size(); ++i) {
        const ClockSeconds ta = timed[i - 1].t, tb = timed[i].t, span = tb - ta;
        const bool inside = span == 0 ? ta >= from && ta < to : ta < to && tb > from;
        if (!inside)
            continue;
        if (usual > 0 && span > 2 * usual)
            report.gaps.push_back({ta, tb});
        std::array<double, kCounters> delta{};
        for (size_t c = 0; c < kCounters; ++c) {
            delta[c] = timed[i].reading->counters[c] - timed[i - 1].reading->counters[c];
            if (delta[c] < 0) {
                report.resets.push_back({tb, int(c)});
                delta[c] = 0;
            }
        }
        if (span == 0) {
            attribute(ta, delta, 1);
            continue;
        }
        for (ClockSeconds t = std::max(ta, from), end = std::min(tb, to); t < end;) {
            const ClockSeconds dayStart = floorTo(t, kDay);
            const ClockSeconds edge = dayStart + *std::upper_bound(edges.begin(), edges.end(), t - dayStart);
            const ClockSeconds next = std::min({end, floorTo(t, kHour) + kHour, edge});
            attribute(t, delta, double(next - t) / double(span));
            t = next;
        }
    }
    // What the readings leave uncovered at the period's edges, up to "now" for a period not yet over,
    // is a gap as well, so a report of a few days' data is not taken for a whole month.
    const ClockSeconds end = options.now && *options.now < to ? std::max(from, *options.now) : to;
    const ClockSeconds slack = 2 * usual;
    if (timed.empty() || timed.front().t >= end || timed.back().t <= from) {
        if (end > from)
            report.gaps.push_back({from, end});
    } else {
        if (timed.front().t - from > slack)
            report.gaps.insert(report.gaps.begin(), Gap{from, timed.front().t});
        if (end - timed.back().t > slack)
            report.gaps.push_back({timed.back().t, end});
    }

    for (const Timed &r : timed) {
        if (r.t < from || r.t >= to)
            continue;
        addDemand(report.total, *r.reading, r.t);
        addDemand(report.days[size_t((r.t - day0) / kDay)].figures, *r.reading, r.t);
    }

    if (options.now && *options.now > from && *options.now < to && !timed.empty()) {
        // The rate so far is over the time the readings cover, not up to a "now" they have not reached.
        const ClockSeconds reached = std::min(*options.now, timed.back().t);
        if (reached > from) {
            const double scale = double(to - from) / double(reached - from);
            Projection p;
            p.importKwh = report.total.energy[ImportKwh] * scale;
            p.inductiveKvarh = report.total.energy[InductiveKvarh] * scale;
            p.capacitiveKvarh = report.total.energy[CapacitiveKvarh] * scale;
            p.inductiveMargin = options.inductiveLimit * p.importKwh - p.inductiveKvarh;
            p.capacitiveMargin = options.capacitiveLimit * p.importKwh - p.capacitiveKvarh;
            report.projection = p;
        }
    }
    return report;
}
