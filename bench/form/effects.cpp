// The limits are the spawner's own constants, so the measure follows the show if they change.
#include "effects.h"

#include <algorithm>
#include <cmath>

#include "timeline/spawner.h"

double rateLimit(EffectKind kind)
{
    switch (kind) {
    case EffectKind::Grid: return double(GridGap);
    case EffectKind::Spark: return double(ElectroGap);
    case EffectKind::Stroke: return double(BezierGap);
    case EffectKind::Typography: break;
    }
    return 0;
}

std::vector<int> spectrumSpawnsPerWindow(const std::vector<EffectSpawn>& spawns, double from, double to, double span)
{
    const int windows = int(std::floor((to - from) / span + 1e-9));
    std::vector<int> counts(size_t(std::max(0, windows)), 0);
    for (const EffectSpawn& s : spawns) {
        if (s.kind == EffectKind::Typography || s.musicTime < from) continue;
        const long w = long(std::floor((s.musicTime - from) / span));
        if (w < windows) ++counts[size_t(w)];
    }
    return counts;
}

LimitShare rateLimitShare(const std::vector<EffectSpawn>& spawns, EffectKind kind, double fps)
{
    LimitShare out;
    const double allowed = rateLimit(kind) + 1.5 / fps;
    bool seen = false;
    double previous = 0;
    for (const EffectSpawn& s : spawns) {
        if (s.kind != kind) continue;
        if (seen) {
            ++out.spawns;
            if (s.start - previous <= allowed) ++out.atLimit;
        }
        seen = true;
        previous = s.start;
    }
    return out;
}

Gap longestNothingAlive(const std::vector<EffectSpawn>& spawns, double from, double to)
{
    std::vector<EffectSpawn> byStart = spawns;
    std::sort(byStart.begin(), byStart.end(), [](const EffectSpawn& a, const EffectSpawn& b) { return a.start < b.start; });
    Gap best;
    double coveredTo = from;   // everything in [from, coveredTo] has had something alive (or is the start)
    for (const EffectSpawn& s : byStart) {
        if (s.start > coveredTo) {
            const double end = std::min(s.start, to);
            if (end - coveredTo > best.length()) best = {coveredTo, end};
        }
        coveredTo = std::max(coveredTo, s.start + s.lifetime);
        if (coveredTo >= to) break;
    }
    if (to - coveredTo > best.length()) best = {coveredTo, to};
    return best;
}

std::array<int, EffectKinds> countByKind(const std::vector<EffectSpawn>& spawns)
{
    std::array<int, EffectKinds> counts{};
    for (const EffectSpawn& s : spawns) ++counts[size_t(s.kind)];
    return counts;
}
