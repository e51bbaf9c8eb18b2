// The listening measures. Onset windows are merged before their cover is taken, so close onsets are
// not counted twice against the random moments.
#include "listen_measures.h"

#include <algorithm>
#include <cmath>
#include <numeric>

LimitShare atRateLimit(const std::vector<Spawn>& spawns, double gap, double fps)
{
    LimitShare s;
    for (size_t i = 1; i < spawns.size(); ++i) {
        ++s.spawns;
        s.atLimit += spawns[i].demoTime - spawns[i - 1].demoTime <= gap + 1.5 / fps;
    }
    return s;
}

Coincidence onsetCoincidence(const std::vector<Spawn>& spawns, const std::vector<double>& onsets, double from, double to)
{
    Coincidence c;
    if (!(to > from)) return c;
    for (const Spawn& s : spawns) {
        if (s.musicTime < from || s.musicTime >= to) continue;
        ++c.spawns;
        const auto after = std::upper_bound(onsets.begin(), onsets.end(), s.musicTime);   // first onset past the spawn
        c.hits += after != onsets.begin() && s.musicTime - *(after - 1) <= CoincidenceWindow;
    }
    double covered = 0, end = from;
    for (double o : onsets) {
        const double a = std::max(std::max(o, end), from), b = std::min(o + CoincidenceWindow, to);
        if (b > a) covered += b - a;
        end = std::max(end, o + CoincidenceWindow);
    }
    c.cover = covered / (to - from);
    return c;
}

namespace {
std::vector<double> ranks(const std::vector<double>& v)
{
    std::vector<size_t> order(v.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return v[a] < v[b]; });
    std::vector<double> r(v.size());
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        while (j + 1 < order.size() && v[order[j + 1]] == v[order[i]]) ++j;
        for (size_t k = i; k <= j; ++k) r[order[k]] = 0.5 * double(i + j);
        i = j + 1;
    }
    return r;
}
}  // namespace

double rankCorrelation(const std::vector<double>& a, const std::vector<double>& b)
{
    if (a.size() != b.size() || a.size() < 3) return NAN;
    const std::vector<double> ra = ranks(a), rb = ranks(b);
    const double n = double(a.size()), mean = (n - 1) / 2;
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < ra.size(); ++i) {
        sab += (ra[i] - mean) * (rb[i] - mean);
        saa += (ra[i] - mean) * (ra[i] - mean);
        sbb += (rb[i] - mean) * (rb[i] - mean);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : NAN;
}

double countCorrelation(const std::vector<Spawn>& spawns, const std::vector<double>& onsets, double from, double to)
{
    const long windows = long(std::floor((to - from) / CountWindow));
    if (windows < 3) return NAN;
    std::vector<double> s(size_t(windows), 0.0), o(size_t(windows), 0.0);
    auto count = [&](double t, std::vector<double>& into) {
        const double w = std::floor((t - from) / CountWindow);
        if (w >= 0 && w < double(windows)) into[size_t(w)] += 1;
    };
    for (const Spawn& x : spawns) count(x.musicTime, s);
    for (double t : onsets) count(t, o);
    return rankCorrelation(s, o);
}

double longestWithoutSpawn(std::vector<double> spawnTimes, const std::vector<bool>& audible)
{
    const double end = double(audible.size()) * AudibleCell;
    spawnTimes.push_back(0);
    spawnTimes.push_back(end);
    std::sort(spawnTimes.begin(), spawnTimes.end());
    // Audible time before t, cell by cell (a cell counts in part where t falls inside it).
    std::vector<double> before(audible.size() + 1, 0.0);
    for (size_t i = 0; i < audible.size(); ++i) before[i + 1] = before[i] + (audible[i] ? AudibleCell : 0.0);
    auto audibleBefore = [&](double t) {
        const double cells = std::clamp(t / AudibleCell, 0.0, double(audible.size()));
        const size_t i = size_t(cells);
        const double part = i < audible.size() && audible[i] ? (cells - double(i)) * AudibleCell : 0.0;
        return before[i] + part;
    };
    double longest = 0;
    for (size_t i = 1; i < spawnTimes.size(); ++i)
        longest = std::max(longest, audibleBefore(spawnTimes[i]) - audibleBefore(spawnTimes[i - 1]));
    return longest;
}
