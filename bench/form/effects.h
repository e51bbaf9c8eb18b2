// What the show draws against the music, from a capture's event records: when the first effect comes,
// how the spectrum-spawned effects spread over the track, how often a rate limit is what paces them,
// and how long the screen stays empty. Pure computation on records; reading the log is the caller's.
#pragma once
#include <array>
#include <cstddef>
#include <vector>

enum class EffectKind { Typography, Grid, Spark, Stroke };
constexpr int EffectKinds = 4;

struct EffectSpawn {
    EffectKind kind = EffectKind::Typography;
    double musicTime = 0;   // seconds: the music position of the frame that created it
    double start = 0;       // seconds on the show's own clock (demoTime)
    double lifetime = 0;    // seconds
};

// --- Rate limits of the spectrum-spawned kinds (demoTime seconds between spawns; 0 for typography)
double rateLimit(EffectKind kind);

// --- Spread over the track (music seconds)
constexpr double EightBars = 8 * 4 * 60.0 / 187;   // 10.27 s at the track's 187 BPM
// Grids, sparks and strokes created in each whole window of `span` from `from` that ends by `to`.
std::vector<int> spectrumSpawnsPerWindow(const std::vector<EffectSpawn>& spawns, double from, double to,
                                         double span = EightBars);

// --- Pacing
struct LimitShare {
    int spawns = 0;      // spawns of the kind that had an earlier one
    int atLimit = 0;     // of them, those that came within one frame after the limit allowed it
    double share() const { return spawns > 0 ? double(atLimit) / spawns : 0; }
};
// Gaps on the demoTime clock; fps is the log's frame rate. A gap counts when it is at most the limit
// plus one frame (half a frame more is allowed for the clock's millisecond rounding).
LimitShare rateLimitShare(const std::vector<EffectSpawn>& spawns, EffectKind kind, double fps);

// --- The empty screen (demoTime seconds)
struct Gap {
    double from = 0, to = 0;
    double length() const { return to - from; }
};
// The longest time in [from, to] with no effect alive (each alive over [start, start + lifetime]).
Gap longestNothingAlive(const std::vector<EffectSpawn>& spawns, double from, double to);

std::array<int, EffectKinds> countByKind(const std::vector<EffectSpawn>& spawns);
