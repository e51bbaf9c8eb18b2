// The onset curve and the cue picking. The FFT is a plain radix-2 one in double precision: FFTW's
// float transforms differ in their last bits between the desktop's SIMD kernels and the browser's
// scalar ones, which could move a near tie between two accents; a double result rounded to float
// comes out the same on both.
#include "audio/cue_finder.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double HopSeconds = double(OnsetHopSize) / 44100.0;
constexpr float MinProminence = 0.3f;   // flux units: below it a "rise" is a steady sound's flicker

size_t reverseBits(size_t i, int bits)
{
    size_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1u) << (bits - 1 - b);
    return r;
}

// In place, size OnsetFrameSize, re/im interleaved; twiddles from the tables.
void fft(std::vector<double>& re, std::vector<double>& im, const std::vector<double>& cosTable,
         const std::vector<double>& sinTable)
{
    const size_t n = re.size();
    int bits = 0;
    while ((size_t(1) << bits) < n) ++bits;
    for (size_t i = 0; i < n; ++i) {
        const size_t j = reverseBits(i, bits);
        if (j > i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t step = n / len;
        for (size_t start = 0; start < n; start += len) {
            for (size_t k = 0; k < len / 2; ++k) {
                const double c = cosTable[k * step], s = sinTable[k * step];
                const size_t a = start + k, b = a + len / 2;
                const double tr = re[b] * c + im[b] * s;
                const double ti = im[b] * c - re[b] * s;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

// Mean of values [a, b] from running sums.
double meanOf(const std::vector<double>& prefix, long a, long b) { return (prefix[size_t(b + 1)] - prefix[size_t(a)]) / double(b - a + 1); }
}  // namespace

OnsetCurve::OnsetCurve()
    : window_(OnsetFrameSize), cosTable_(OnsetFrameSize / 2), sinTable_(OnsetFrameSize / 2),
      frame_(OnsetFrameSize, 0.0), previous_(OnsetHighBin, 0.0), tempoPrevious_(TempoBands[TempoBandCount - 1].last, 0.0)
{
    for (int i = 0; i < OnsetFrameSize; ++i) window_[size_t(i)] = 0.5 - 0.5 * std::cos(2 * M_PI * i / OnsetFrameSize);
    for (int k = 0; k < OnsetFrameSize / 2; ++k) {
        cosTable_[size_t(k)] = std::cos(2 * M_PI * k / OnsetFrameSize);
        sinTable_[size_t(k)] = std::sin(2 * M_PI * k / OnsetFrameSize);
    }
}

double OnsetCurve::timeOf(size_t hop)
{
    // A hit at a frame's newest edge gets almost no window weight; the rise from frame to frame is
    // largest where the Hann window is steepest, three quarters into the frame, and the rise into
    // frame j is half a hop after frame j - 1: the hit sits N/4 + hop/2 before the frame's end.
    return (double(hop) * OnsetHopSize + OnsetFrameSize - OnsetFrameSize / 4.0 - OnsetHopSize / 2.0) / 44100.0;
}

void OnsetCurve::add(const float* stereo, size_t frames)
{
    for (size_t f = 0; f < frames; ++f) {
        const float l = stereo[2 * f], r = stereo[2 * f + 1];
        peak_ = std::max(peak_, std::max(std::fabs(l), std::fabs(r)));
        frame_[size_t(frames_ % OnsetFrameSize)] = (double(l) + double(r)) * 0.5;
        ++frames_;
        if (frames_ >= uint64_t(OnsetFrameSize) && (frames_ - OnsetFrameSize) % OnsetHopSize == 0) analyseFrame();
    }
}

void OnsetCurve::analyseFrame()
{
    std::vector<double> re(OnsetFrameSize), im(OnsetFrameSize, 0.0);
    const size_t oldest = size_t(frames_ % OnsetFrameSize);   // the ring's oldest sample
    double squares = 0;
    for (size_t i = 0; i < size_t(OnsetFrameSize); ++i) {
        const double v = frame_[(oldest + i) % OnsetFrameSize];
        squares += v * v;
        re[i] = v * window_[i];
    }
    fft(re, im, cosTable_, sinTable_);
    constexpr double Scale = 4.0 / OnsetFrameSize;   // a full-scale sine on a bin reads 1 through the Hann window
    double rise = 0;
    for (size_t k = OnsetLowBin; k < size_t(OnsetHighBin); ++k) {
        const double m = std::sqrt(re[k] * re[k] + im[k] * im[k]) * Scale;
        const double current = std::log1p(OnsetLogScale * m);
        rise += std::max(0.0, current - previous_[k]);
        previous_[k] = current;
    }
    // Every fourth frame also feeds the tempo's bands; its first has nothing to rise over.
    if (hops_ % TempoHopFrames == 0) {
        const bool first = hops_ == 0;
        for (int b = 0; b < TempoBandCount; ++b) {
            double bandRise = 0;
            for (size_t k = size_t(TempoBands[b].first); k < size_t(TempoBands[b].last); ++k) {
                const double m = std::sqrt(re[k] * re[k] + im[k] * im[k]) * Scale;
                const double current = std::log1p(OnsetLogScale * m);
                bandRise += std::max(0.0, current - tempoPrevious_[k]);
                tempoPrevious_[k] = current;
            }
            tempoFlux_[b].push_back(first ? 0.0f : float(bandRise));
        }
    }
    flux_.push_back(hops_ == 0 ? 0.0f : float(rise));
    energy_.push_back(float(squares / OnsetFrameSize));
    ++hops_;
}

void OnsetCurve::forgetValues()
{
    flux_.clear();
    energy_.clear();
    for (std::vector<float>& band : tempoFlux_) band.clear();
}

std::vector<Onset> findOnsets(const OnsetCurve& curve)
{
    const std::vector<float>& flux = curve.flux();
    const std::vector<float>& energy = curve.energy();
    const long n = long(flux.size());
    std::vector<Onset> onsets;
    if (n < 2) return onsets;
    std::vector<double> fluxSum(size_t(n) + 1, 0.0), energySum(size_t(n) + 1, 0.0);
    for (size_t j = 0; j < size_t(n); ++j) {
        fluxSum[j + 1] = fluxSum[j] + flux[j];
        energySum[j + 1] = energySum[j] + energy[j];
    }
    const long peakSpan = std::lround(CuePeakSpan / HopSeconds), meanSpan = std::lround(CueMeanSpan / HopSeconds),
               levelSpan = std::lround(CueLevelSpan / HopSeconds);
    auto levelAt = [&](long j) {
        return std::sqrt(meanOf(energySum, std::max(0L, j - levelSpan), std::min(n - 1, j + levelSpan)));
    };
    // The loud level: what 90 % of the track's moments stay under, sampled every 0.1 s.
    std::vector<double> levels;
    for (long j = 0; j < n; j += std::max(1L, std::lround(0.1 / HopSeconds))) levels.push_back(levelAt(j));
    const size_t at = std::min(levels.size() - 1, size_t(double(levels.size()) * CueLoudShare));
    std::nth_element(levels.begin(), levels.begin() + std::ptrdiff_t(at), levels.end());
    const double loud = levels[at];
    if (!(loud > 0)) return onsets;

    long last = -peakSpan - 1;
    for (long j = 1; j < n; ++j) {
        const float v = flux[size_t(j)];
        if (j - last <= peakSpan) continue;
        const long a = std::max(0L, j - peakSpan), b = std::min(n - 1, j + peakSpan);
        if (*std::max_element(flux.begin() + a, flux.begin() + b + 1) > v) continue;
        const float prominence = float(v - meanOf(fluxSum, std::max(0L, j - meanSpan), std::min(n - 1, j + meanSpan)));
        if (!(prominence >= MinProminence)) continue;
        Onset o;
        o.time = OnsetCurve::timeOf(size_t(j));
        o.prominence = prominence;
        o.level = float(std::min(1.0, levelAt(j) / loud));
        onsets.push_back(o);
        last = j;
    }
    return onsets;
}

namespace {
// Whether t keeps CueMinGap from every chosen time and the crowd around it is not full (chosen sorted).
bool roomFor(const std::vector<float>& chosen, double t)
{
    const auto it = std::lower_bound(chosen.begin(), chosen.end(), float(t));
    if (it != chosen.end() && double(*it) - t < CueMinGap) return false;
    if (it != chosen.begin() && t - double(*(it - 1)) < CueMinGap) return false;
    // t's own crowd, and that of every cue near it, which t would join.
    auto crowd = [&chosen](double around) {
        return std::upper_bound(chosen.begin(), chosen.end(), float(around + CueCrowdSpan)) -
               std::lower_bound(chosen.begin(), chosen.end(), float(around - CueCrowdSpan));
    };
    if (crowd(t) >= CueCrowdMax) return false;
    for (auto c = std::lower_bound(chosen.begin(), chosen.end(), float(t - CueCrowdSpan));
         c != chosen.end() && double(*c) <= t + CueCrowdSpan; ++c)
        if (crowd(double(*c)) - 1 >= CueCrowdMax - 1) return false;
    return true;
}
}  // namespace

std::vector<float> pickCues(const std::vector<Onset>& onsets, double trackSeconds)
{
    std::vector<size_t> order(onsets.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Strongest first; the earlier of two equally strong ones first, so the order is total.
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const float sa = onsets[a].strength(), sb = onsets[b].strength();
        return sa != sb ? sa > sb : a < b;
    });
    const size_t wanted = size_t(std::lround(std::max(0.0, trackSeconds) * CuesPerSecond));
    std::vector<float> chosen;
    for (size_t i : order) {
        if (chosen.size() >= wanted) break;
        const float t = float(onsets[i].time);
        if (!roomFor(chosen, t)) continue;
        chosen.insert(std::lower_bound(chosen.begin(), chosen.end(), t), t);
    }
    return chosen;
}

std::vector<float> findCues(const OnsetCurve& curve)
{
    return pickCues(findOnsets(curve), double(curve.frames()) / 44100.0);
}
