// How well the spectrum-spawned effects follow a track: from the spawn times of one kind and the
// onsets in that kind's band, the share paced by the rate limit, the coincidence with onsets against
// random moments, and whether busy stretches get more spawns. Pure computation on time lists.
#pragma once
#include <cstddef>
#include <vector>

struct Spawn {
    double musicTime = 0;   // seconds: the music position of the frame that made it
    double demoTime = 0;    // seconds on the show's clock (its start)
};

// --- Measuring settings (seconds)
constexpr double CoincidenceWindow = 0.08;   // a spawn answers an onset that came 0..80 ms before it
constexpr double CountWindow = 4.0;          // spawns and onsets are counted per 4 s for the correlation
constexpr double AudibleCell = 0.1;          // the music plays in a 0.1 s cell whose mix is above ...
constexpr double AudibleRms = 0.003;         // ... -50 dBFS RMS

// --- Pacing
// Spawns whose gap to the one before (demo clock) is at most gap + one frame, with half a frame more
// for the log's millisecond rounding: they came the moment the limit allowed. The first has no gap.
struct LimitShare {
    int spawns = 0, atLimit = 0;
    double share() const { return spawns > 0 ? double(atLimit) / spawns : 0; }
};
LimitShare atRateLimit(const std::vector<Spawn>& spawns, double gap, double fps);

// --- Against onsets, over [from, to) of music time
struct Coincidence {
    int spawns = 0, hits = 0;   // spawns in the span, and those 0..80 ms after an onset
    double cover = 0;           // share of the span's moments 0..80 ms after an onset
    double ratio() const { return spawns > 0 && cover > 0 ? double(hits) / spawns / cover : 0; }
};
Coincidence onsetCoincidence(const std::vector<Spawn>& spawns, const std::vector<double>& onsets, double from, double to);
// Spearman's rank correlation of spawns and onsets per whole CountWindow from `from`; ties share
// their mean rank. NaN when either count never changes or there are fewer than 3 windows.
double countCorrelation(const std::vector<Spawn>& spawns, const std::vector<double>& onsets, double from, double to);
double rankCorrelation(const std::vector<double>& a, const std::vector<double>& b);

// --- Quiet stretches
// The longest time between spectrum spawns (any kind, music seconds) counting only cells where the
// music plays; audible[i] is cell [i x AudibleCell, (i + 1) x AudibleCell). The stretches before the
// first spawn and after the last count too.
double longestWithoutSpawn(std::vector<double> spawnTimes, const std::vector<bool>& audible);
