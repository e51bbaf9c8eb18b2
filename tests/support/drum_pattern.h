// Drum patterns of known tempo, played into 44.1 kHz stereo: a kick, a snare, hats, a bass line and a
// soft chord, each hit a little early or late and louder or softer, so the tempo finder meets
// something like a played loop rather than a grid of identical clicks. Shared by the tests and the
// tempo benchmark.
#pragma once
#include <cstdint>
#include <vector>

// One bar of sixteenths per instrument: 'K' kick, 'S' snare, 'g' ghost snare, 'H' hat, 'h' soft hat.
struct DrumPattern {
    const char* name;
    const char* kick;
    const char* snare;
    const char* hats;
};

constexpr DrumPattern DrumPatterns[] = {
    {"four on the floor", "K...K...K...K...", "....S.......S...", "..H...H...H...H."},
    {"rock", "K.......K.K.....", "....S.......S...", "H.H.H.H.H.H.H.H."},
    {"two-step", "K.........K.....", "....S.......S...", "H.h.H.h.H.h.H.h."},
    {"break", "K.K.......KK....", "....S..g.g..S..g", "H.H.H.H.H.H.H.H."},
    {"hip hop", "K......K..K.....", "....S.......S...", "H.H.H.H.H.H.H.H."},
    {"half time", "K.........K.....", "........S.......", "H.H.H.H.H.H.H.H."},
};
static_assert(sizeof(DrumPatterns) / sizeof(DrumPatterns[0]) == 6, "six patterns");

// --- Playing (interleaved stereo, 44.1 kHz)
// endBpm: the tempo at the end, changing evenly from bpm (0: steady at bpm).
std::vector<float> playDrumPattern(const DrumPattern& pattern, double bpm, double seconds, uint32_t seed = 1,
                                   double endBpm = 0);
