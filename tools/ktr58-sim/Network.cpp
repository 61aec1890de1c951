#include "Network.h"

#include "Random.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr double pi = 3.14159265358979323846;
constexpr int64_t meterInstalled = 20 * 365 * 86400LL; // about 2020, when the counters started at 0

// A counter that grows at `rate` per hour on average and, swinging with the
// day by less than that rate, never decreases.
int64_t counter(double hours, double rate, double offset)
{
    double swing = 0.3 * rate * 24 / (2 * pi);
    return static_cast<int64_t>(std::floor(offset + rate * hours + swing * std::sin(2 * pi * hours / 24)));
}

} // namespace

NetworkState networkAt(uint64_t seed, int64_t instant)
{
    NetworkState n{};
    const double day = 2 * pi * static_cast<double>(instant % 86400) / 86400;
    const double shift = 2 * pi * static_cast<double>(mix(seed) % 1000) / 1000;
    auto jitter = [&](int channel) { return noise(seed, static_cast<uint64_t>(channel), instant); };

    for (int p = 0; p < 3; ++p) {
        n.vln[p] = 230 + 3.5 * std::sin(day + shift + 2.1 * p) + 0.4 * jitter(p);
        n.current[p] = 42 + 14 * std::sin(day + shift - 1.2 + 0.7 * p) + 0.6 * jitter(10 + p);
        n.pf[p] = 0.93 + 0.045 * std::sin(2 * day + shift + p) + 0.006 * jitter(20 + p);
        n.cosPhi[p] = std::min(0.999, n.pf[p] + 0.012);
        n.va[p] = n.vln[p] * n.current[p];
        n.watt[p] = n.va[p] * n.pf[p];
        n.var[p] = n.va[p] * std::sqrt(1 - n.pf[p] * n.pf[p]);
        n.thdV[p] = 2.2 + 0.6 * std::sin(day + p) + 0.1 * jitter(30 + p);
        n.thdI[p] = 9 + 3 * std::sin(day - 0.5 + p) + 0.3 * jitter(40 + p);
        n.vHigh[p] = n.vln[p] + 3 + 0.5 * jitter(50 + p);
        n.vLow[p] = n.vln[p] - 4 + 0.5 * jitter(60 + p);
        n.iHigh[p] = n.current[p] * 1.15;
        n.iLow[p] = n.current[p] * 0.7;
        n.iDemand[p] = n.current[p] * 0.97;
    }
    for (int p = 0; p < 3; ++p) {
        // Line-to-line voltage of two phases 120 degrees apart.
        double a = n.vln[p], b = n.vln[(p + 1) % 3];
        n.vll[p] = std::sqrt(a * a + b * b + a * b);
    }
    n.neutral = 2.5 + 1.0 * std::sin(day + shift) + 0.2 * jitter(70);
    n.frequency =
        50 + 0.04 * std::sin(2 * pi * static_cast<double>(instant % 5400) / 5400) + 0.01 * jitter(80);
    n.demandFactor = 0.97;

    double hours = static_cast<double>(instant - meterInstalled) / 3600;
    double base = static_cast<double>(mix(seed ^ 0xE4E) % 5000);
    n.kwhImport = counter(hours, 30, base);
    n.kwhExport = counter(hours, 0.4, base / 10);
    n.kvarhInductive = counter(hours, 11, base / 2);
    n.kvarhCapacitive = counter(hours, 0.25, base / 20);
    return n;
}
