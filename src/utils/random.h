// The show's one shared pseudo-random generator: a 32-bit linear congruential generator seeded to
// the same state on every run, so the show makes the same choices each time. The number of steps each
// call consumes is part of the behaviour: every caller draws in a fixed order.
#pragma once
#include <cstdint>

// --- Seeding and raw steps
void seedRandom();                      // state = one step from the C library's first rand(), taken as 41
uint32_t nextRandom();                  // 1 step; returns the new state
uint32_t randomState();                 // the current state, 0 before seeding
void setRandomState(uint32_t state);    // for tests and tools that replay from a known state

// --- Draws
uint32_t randomInt(uint32_t n);         // 1 step; [0, n-1], n >= 1
float random01();                       // 3 steps; [0, 65535/65536] in steps of 1/65536
float randomFloat(float x);             // 2 steps if x == 0 (returns 0), else 3: x * [0, 1)
float randomRange(float lo, float hi);  // 2 steps if hi == lo (returns lo), else 3: lo + (hi-lo) * [0, 1)

// The state after seedRandom(): the reference C runtime's first rand() is 41, and every run repeats it.
constexpr uint32_t SeededRandomState = 1082149748u;
