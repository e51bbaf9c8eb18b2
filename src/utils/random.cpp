// The shared generator. Everything is unsigned 32-bit arithmetic that wraps; the fraction is the low
// 16 bits of the state, as the reference show took it (not the statistically better high bits).
#include "utils/random.h"

#include <cstdlib>

namespace {
uint32_t state = 0;

constexpr uint32_t Multiplier = 1664525u;
constexpr uint32_t Increment = 1013904223u;

// The reference runtime's first rand() value; the C library here has another sequence, and runs must
// repeat the reference choices, so its value stands in for ours.
constexpr uint32_t FirstRand = 41u;

double fraction() { return double(state & 0xFFFFu) / 65536.0; }
}  // namespace

void seedRandom()
{
    state = FirstRand * Multiplier + Increment;
    std::srand(state);
}

uint32_t nextRandom()
{
    state = state * Multiplier + Increment;
    return state;
}

uint32_t randomState() { return state; }
void setRandomState(uint32_t s) { state = s; }

uint32_t randomInt(uint32_t n) { return nextRandom() % n; }

float random01()
{
    nextRandom();
    nextRandom();
    nextRandom();
    return float(fraction());
}

float randomFloat(float x)
{
    nextRandom();
    nextRandom();
    if (x == 0.0f) return 0.0f;
    nextRandom();
    return float(double(x) * fraction());
}

float randomRange(float lo, float hi)
{
    nextRandom();
    nextRandom();
    const float span = hi - lo;
    if (span == 0.0f) return lo;
    nextRandom();
    return float(double(lo) + double(span) * fraction());
}
