#pragma once

#include <cstdint>

// The energy log of a plant: a working-day load curve (a night base load, lighter Saturdays, idle
// Sundays), inductive reactive energy at 15-25 % of the active energy with some days above 20 %,
// a little capacitive energy at night, and demand values that follow the load. Each hour's load is
// constant, so a counter is the exact sum of the hours before it.
struct PlantReading {
    double importKwh, exportKwh, inductiveKvarh, capacitiveKvarh; // counters since the meter started
    double demandW, demandVar, demandVa, powerFactor;
};

// instant: seconds since 2000-01-01 00:00 of the analyzer's clock.
PlantReading plantAt(uint64_t seed, int64_t instant);
