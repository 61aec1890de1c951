#pragma once

#include <cstdint>

// Deterministic pseudo-randomness: the same seed gives the same analyzer.

// A well-mixed 64-bit hash of x (the splitmix64 finaliser).
uint64_t mix(uint64_t x);

// A value in [-1, 1] that depends only on its three inputs.
double noise(uint64_t seed, uint64_t channel, int64_t instant);

// A sequence of draws in [0, 1) for fault decisions.
class Rng
{
  public:
    explicit Rng(uint64_t seed) : state(mix(seed ^ 0xFA017ED5EEDULL)) {}
    double next();

  private:
    uint64_t state;
};
