#include "Random.h"

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

double noise(uint64_t seed, uint64_t channel, int64_t instant)
{
    uint64_t h = mix(mix(mix(seed) ^ channel) ^ static_cast<uint64_t>(instant));
    return static_cast<double>(h >> 11) / static_cast<double>(1ULL << 52) - 1.0;
}

double Rng::next()
{
    state += 0x9E3779B97F4A7C15ULL;
    return static_cast<double>(mix(state) >> 11) / static_cast<double>(1ULL << 53);
}
