// LiveCueFinder. The offline picker sees the whole track: onsets within +-100 ms for the mean, the
// level within +-1.5 s, the track's loud level, and the strongest of all onsets. Here each of those
// ends LiveCueLookAhead after the onset, and "strongest" is a rank among the recent onsets: the cues
// a minute stay near the built-in list's density wherever the music gets busy, loud or quiet.
#include "audio/live_cues.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double HopSeconds = double(OnsetHopSize) / 44100.0;
constexpr float MinProminence = 0.3f;   // as offline: below it a "rise" is a steady sound's flicker
const size_t PeakSpan = size_t(std::lround(CuePeakSpan / HopSeconds));
const size_t MeanSpan = size_t(std::lround(CueMeanSpan / HopSeconds));
const size_t LevelSpan = size_t(std::lround(CueLevelSpan / HopSeconds));
const size_t LevelEvery = size_t(std::lround(0.1 / HopSeconds));
const size_t KeptHops = std::max(LevelSpan, MeanSpan) + PeakSpan + 1;
}  // namespace

size_t LiveCueFinder::keptValues() const { return flux_.size() + energy_.size() + levels_.size() + onsets_.size() + cues_.size(); }

double LiveCueFinder::meanOf(const std::deque<float>& values, size_t from, size_t to) const
{
    from = std::max(from, first_);
    double sum = 0;
    for (size_t j = from; j <= to; ++j) sum += at(values, j);
    return sum / double(to - from + 1);
}

void LiveCueFinder::add(const float* stereo, size_t frames)
{
    const size_t before = curve_.hops();
    curve_.add(stereo, frames);
    const std::vector<float>& flux = curve_.flux();
    const std::vector<float>& energy = curve_.energy();
    for (size_t i = 0; i < flux.size(); ++i) {
        const size_t hop = before + i;
        flux_.push_back(flux[i]);
        energy_.push_back(energy[i]);
        if (hop % LevelEvery == 0) {
            levels_.push_back(float(std::sqrt(meanOf(energy_, hop >= LevelSpan ? hop - LevelSpan : 0, hop))));
            if (double(levels_.size()) * 0.1 > LiveLoudMemory) levels_.pop_front();
        }
        if (hop >= PeakSpan) decide(hop - PeakSpan);
        while (flux_.size() > KeptHops) {
            flux_.pop_front();
            energy_.pop_front();
            ++first_;
        }
    }
    curve_.forgetValues();
}

void LiveCueFinder::decide(size_t c)
{
    const size_t newest = c + PeakSpan;
    if (c == 0 || c < first_ + PeakSpan) return;
    if (anyOnset_ && c - lastOnset_ <= PeakSpan) return;
    const float v = at(flux_, c);
    for (size_t j = c - PeakSpan; j <= newest; ++j)
        if (at(flux_, j) > v) return;
    const float prominence = float(v - meanOf(flux_, c >= MeanSpan ? c - MeanSpan : 0, newest));
    if (!(prominence >= MinProminence)) return;
    lastOnset_ = c;
    anyOnset_ = true;

    // Its level against the loud level of the last minute: what 90 % of it stays under.
    const double level = std::sqrt(meanOf(energy_, c >= LevelSpan ? c - LevelSpan : 0, newest));
    std::vector<float> levels(levels_.begin(), levels_.end());
    if (levels.empty() || !(level >= SilentPeak)) return;
    const size_t at90 = std::min(levels.size() - 1, size_t(double(levels.size()) * CueLoudShare));
    std::nth_element(levels.begin(), levels.begin() + std::ptrdiff_t(at90), levels.end());
    const double loud = std::max(double(levels[at90]), level);
    const float strength = prominence * float(std::min(1.0, level / loud));

    const double t = OnsetCurve::timeOf(c);
    while (!onsets_.empty() && onsets_.front().time < t - LiveRankMemory) onsets_.pop_front();
    onsets_.push_back({t, strength});
    // As many cues as the built-in list has for LiveRankMemory: this one must rank among that many
    // of the recent onsets. Until that much was heard, fewer onsets compete, so it answers at once.
    const size_t wanted = size_t(std::lround(LiveRankMemory * CuesPerSecond));
    size_t stronger = 0;
    for (const Ranked& o : onsets_) stronger += o.strength > strength;
    if (stronger >= wanted) return;

    while (!cues_.empty() && cues_.front() < t - CueCrowdSpan) cues_.pop_front();
    if (!cues_.empty() && t - cues_.back() < CueMinGap) return;
    if (int(cues_.size()) >= CueCrowdMax) return;
    cues_.push_back(t);
    fresh_.push_back(float(t));
}

std::vector<float> LiveCueFinder::takeCues()
{
    std::vector<float> out;
    out.swap(fresh_);
    return out;
}
