#include "Record.h"

#include "Network.h"
#include "Plant.h"
#include "Random.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{

constexpr int64_t secondsPerDay = 86400;

struct Civil {
    int year, month, day, hour, minute, second;
};

// Days since 2000-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 10957;
}

Civil civilFromInstant(int64_t instant)
{
    int64_t z = instant / secondsPerDay + 719468 + 10957;
    int64_t secs = instant % secondsPerDay;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    return {y,
            m,
            d,
            static_cast<int>(secs / 3600),
            static_cast<int>(secs / 60 % 60),
            static_cast<int>(secs % 60)};
}

// Each area logs from its own start, some weeks apart; the seed moves them all.
int64_t areaStart(uint64_t seed, int area)
{
    return (daysFromCivil(2024, 1, 1) + static_cast<int64_t>(mix(seed) % 97) + 15LL * area) * secondsPerDay;
}

uint16_t word(double value)
{
    long v = std::lround(value);
    return static_cast<uint16_t>(static_cast<int16_t>(std::clamp<long>(v, INT16_MIN, INT16_MAX)));
}

double sum(const double (&v)[3])
{
    return v[0] + v[1] + v[2];
}

struct Scales {
    double volt, current, extremeCurrent, power;
};

Scales scalesOf(const LogSettings &s)
{
    double ct = std::max<uint16_t>(s.ctRatio, 1);
    double vt = std::max<uint16_t>(s.vtTenths, 1) * 0.1;
    return {0.1 * vt, 0.001 * ct, 0.1 * ct, ct * vt};
}

// The four energy counters, each logged as a low word (below 10000) and a high word.
std::array<int64_t, 4> countersOf(const NetworkState &n)
{
    return {n.kwhImport, n.kwhExport, n.kvarhInductive, n.kvarhCapacitive};
}

uint16_t counterWord(int64_t counter, bool high)
{
    return word(static_cast<double>(high ? counter / 10000 : counter % 10000));
}

// The raw word the analyzer logs for a parameter code.
uint16_t parameterWord(int code, const NetworkState &n, const Civil &c, const LogSettings &s)
{
    const Scales k = scalesOf(s);
    const double totalVa = sum(n.va);
    auto phase = [&](int first) { return code - first; };
    if (code <= 2)
        return word(n.vln[phase(0)] / k.volt);
    if (code <= 5)
        return word(n.current[phase(3)] / k.current);
    if (code == 6)
        return word(sum(n.current) / k.current);
    if (code <= 9)
        return word(n.watt[phase(7)] / k.power);
    if (code <= 12)
        return word(n.var[phase(10)] / k.power);
    if (code <= 15)
        return word(n.va[phase(13)] / k.power);
    if (code <= 18)
        return word(n.pf[phase(16)] * 1000);
    if (code <= 21)
        return word(n.cosPhi[phase(19)] * 1000);
    if (code <= 24)
        return word(n.vll[phase(22)] / k.volt);
    switch (code) {
    case 25:
        return word(sum(n.vln) / 3 / k.volt);
    case 26:
        return word(sum(n.vll) / 3 / k.volt);
    case 27:
        return word(n.frequency * 100);
    case 28:
        return word(sum(n.watt) / k.power);
    case 29:
        return word(sum(n.var) / k.power);
    case 30:
        return word(totalVa / k.power);
    case 34:
        return word(sum(n.thdV) / 3 * 10);
    case 38:
        return word(sum(n.thdI) / 3 * 10);
    case 54:
        return word(sum(n.iHigh) / k.extremeCurrent);
    case 55:
        return word(sum(n.iLow) / k.extremeCurrent);
    case 56:
        return word(sum(n.iDemand) / k.extremeCurrent);
    case 57:
        return word(sum(n.watt) * n.demandFactor / k.power);
    case 58:
        return word(sum(n.var) * n.demandFactor / k.power);
    case 59:
        return word(totalVa * n.demandFactor / k.power);
    case 60:
    case 61:
    case 62:
    case 63:
    case 64:
    case 65:
    case 66:
    case 67:
        return counterWord(countersOf(n)[(code - 60) / 2], code % 2 == 1);
    case 68:
        return word(c.hour);
    case 69:
        return word(c.minute);
    case 70:
        return word(c.second);
    case 71:
        return word(c.day);
    case 72:
        return word(c.month);
    case 73:
        return word(c.year % 100);
    case 74:
        return s.ctRatio;
    case 75:
        return s.vtTenths;
    case 76:
        return 0; // no digital inputs active
    case 77:
        return word(sum(n.watt) / totalVa * 1000);
    case 78:
        return word(n.neutral / k.current);
    }
    if (code >= 31 && code <= 33)
        return word(n.thdV[phase(31)] * 10);
    if (code >= 35 && code <= 37)
        return word(n.thdI[phase(35)] * 10);
    if (code >= 39 && code <= 41)
        return word(n.vHigh[phase(39)] / k.volt);
    if (code >= 42 && code <= 44)
        return word(n.vLow[phase(42)] / k.volt);
    if (code >= 45 && code <= 47)
        return word(n.iHigh[phase(45)] / k.extremeCurrent);
    if (code >= 48 && code <= 50)
        return word(n.iLow[phase(48)] / k.extremeCurrent);
    if (code >= 51 && code <= 53)
        return word(n.iDemand[phase(51)] / k.extremeCurrent);
    return 0; // empty slot (255) or a code the analyzer does not have
}

// The 28 words of an energy log record: four counters as low/high pairs,
// extremes and demands, frequency, total power factor and the two ratios.
std::array<uint16_t, kRecordWords> energyWords(const NetworkState &n, const PlantReading &p,
                                               int64_t importOffset, const LogSettings &s)
{
    const Scales k = scalesOf(s);
    std::array<uint16_t, kRecordWords> w{};
    const std::array<int64_t, 4> counters = {
        static_cast<int64_t>(p.importKwh) - importOffset, static_cast<int64_t>(p.exportKwh),
        static_cast<int64_t>(p.inductiveKvarh), static_cast<int64_t>(p.capacitiveKvarh)};
    for (int i = 0; i < 4; ++i) {
        w[2 * i] = counterWord(counters[i], false);
        w[2 * i + 1] = counterWord(counters[i], true);
    }
    for (int p = 0; p < 3; ++p) {
        w[8 + p] = word(n.vHigh[p] / k.volt);
        w[11 + p] = word(n.iHigh[p] / k.extremeCurrent);
    }
    w[14] = word(sum(n.iHigh) / k.extremeCurrent);
    w[15] = word(sum(n.iLow) / k.extremeCurrent);
    w[16] = word(sum(n.iDemand) / k.extremeCurrent);
    w[17] = word(p.demandW / k.power);
    w[18] = word(p.demandVar / k.power);
    w[19] = word(p.demandVa / k.power);
    w[20] = word(n.frequency * 100);
    w[21] = word(p.powerFactor * 1000);
    w[22] = s.ctRatio;
    w[23] = s.vtTenths;
    return w;
}

} // namespace

NumberedRecord numberRecord(const Numbering &numbering, int count, int index)
{
    auto counted = [](int64_t n) { return static_cast<uint16_t>(n); };
    const int k = numbering.value;
    switch (numbering.kind) {
    case Numbering::Kind::Plain:
        break;
    case Numbering::Kind::Circular: {
        if (k <= 0 || k >= count)
            break;
        // The log wrapped: positions k.. hold the oldest records, 0..k-1 the newest.
        const int age = index >= k ? index - k : index + count - k;
        return {age, counted(age + 1)};
    }
    case Numbering::Kind::Restart:
        return {index, counted(index >= k ? index - k + 1 : index + 1)};
    case Numbering::Kind::Skip:
        return {index, counted(1 + int64_t(index) * k)};
    case Numbering::Kind::Descending:
        return {count - 1 - index, counted(count - index)};
    case Numbering::Kind::Fixed:
        return {index, counted(k)};
    }
    return {index, counted(index + 1)};
}

std::array<uint8_t, kRecordReplyLength> recordReply(uint64_t seed, const LogSettings &settings, int area,
                                                    int age, uint16_t number)
{
    const bool energy = area == kEnergyArea;
    const int64_t period =
        energy ? std::max(settings.energyPeriod, 1) : std::max<uint16_t>(settings.logConfig[0], 1);
    const int64_t instant = areaStart(seed, area) + age * period;
    const Civil c = civilFromInstant(instant);
    const NetworkState n = networkAt(seed, instant);

    std::array<uint16_t, kRecordWords> words{};
    if (energy) {
        const bool reset = settings.counterReset >= 0 && age >= settings.counterReset;
        const int64_t resetAt = areaStart(seed, area) + int64_t(settings.counterReset) * period;
        words = energyWords(n, plantAt(seed, instant),
                            reset ? static_cast<int64_t>(plantAt(seed, resetAt).importKwh) : 0, settings);
    } else {
        for (int slot = 0; slot < kLogSlots; ++slot)
            words[slot] = parameterWord(settings.logConfig[3 + slot], n, c, settings);
    }

    std::array<uint8_t, kRecordReplyLength> r{};
    r[0] = kRecordReplyLength - 1; // response data length
    r[1] = kRecordReplyLength - 2; // file response length
    r[2] = 6;                      // reference type
    r[3] = static_cast<uint8_t>(number >> 8);
    r[4] = static_cast<uint8_t>(number);
    const int fields[] = {c.day, c.month, c.year % 100, c.hour, c.minute, c.second};
    for (int i = 0; i < 6; ++i)
        r[5 + i] = static_cast<uint8_t>(fields[i]);
    for (int k = 0; k < kRecordWords; ++k) {
        r[11 + 2 * k] = static_cast<uint8_t>(words[k] >> 8);
        r[12 + 2 * k] = static_cast<uint8_t>(words[k]);
    }
    return r;
}
