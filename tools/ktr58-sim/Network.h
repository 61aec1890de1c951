#pragma once

#include <cstdint>

// What the analyzer measures on a 230/400 V, 50 Hz network at one instant,
// in engineering units. Quantities drift slowly with the time of day, plus a
// little deterministic noise; energy counters only grow.
struct NetworkState {
    double vln[3], vll[3], current[3], neutral;
    double pf[3], cosPhi[3];
    double watt[3], var[3], va[3];
    double thdV[3], thdI[3];
    double frequency;
    double vHigh[3], vLow[3], iHigh[3], iLow[3], iDemand[3];
    double demandFactor; // demand values relative to the present ones
    int64_t kwhImport, kwhExport, kvarhInductive, kvarhCapacitive;
};

// instant: seconds since 2000-01-01 00:00:00.
NetworkState networkAt(uint64_t seed, int64_t instant);
