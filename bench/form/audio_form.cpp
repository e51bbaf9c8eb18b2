// Loudness comes from libebur128 only, so our figures are the standard's; the spectral shape and the
// novelty are our own, on octave bands, which are coarse enough that a mix's small changes of colour
// do not count as form.
#include "audio_form.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include <ebur128.h>
#include <fftw3.h>

namespace {

struct StateDeleter {
    void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
};
using LoudnessState = std::unique_ptr<ebur128_state, StateDeleter>;

LoudnessState newState(const AudioView& audio, int mode)
{
    ebur128_state* s = ebur128_init(unsigned(audio.channels), static_cast<unsigned long>(audio.rate), mode);
    if (!s) throw std::runtime_error("libebur128 cannot measure this audio");
    return LoudnessState(s);
}

double floored(double lufs) { return std::isfinite(lufs) ? std::max(lufs, SilenceFloor) : SilenceFloor; }

size_t frameAt(const AudioView& audio, double seconds)
{
    const double f = std::round(seconds * audio.rate);
    return f <= 0 ? 0 : std::min(audio.frames, size_t(f));
}

size_t index(double seconds, double step) { return size_t(std::lround(seconds / step)); }

double medianOf(std::vector<double>& v)   // reorders v
{
    if (v.empty()) return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + long(mid), v.end());
    return v[mid];
}

}  // namespace

LoudnessCurves measureLoudness(const AudioView& audio, double step)
{
    LoudnessCurves out;
    out.step = step;
    // The 6 s window is the mean of two 3 s windows' energies (ungated, so this is exact). libebur128
    // 1.2.6, Debian 12's, could hold 6 s itself, but its ebur128_set_max_window sizes the buffer as
    // rate x milliseconds frames, a thousand times too many: 4.2 GB for 6 s of 44.1 kHz stereo.
    const size_t apart = index(3.0, step);
    std::vector<double> threeEnergy;   // mean square, K-weighted, of the 3 s ending at i x step
    LoudnessState st = newState(audio, EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA);
    size_t fed = 0;
    for (size_t i = 0; double(i) * step <= audio.seconds(); ++i) {
        const size_t upTo = frameAt(audio, double(i) * step);
        if (upTo > fed) ebur128_add_frames_float(st.get(), audio.samples + fed * size_t(audio.channels), upTo - fed);
        fed = upTo;
        double shortTerm = -HUGE_VAL, half = -HUGE_VAL;
        ebur128_loudness_shortterm(st.get(), &shortTerm);
        ebur128_loudness_window(st.get(), 500, &half);
        threeEnergy.push_back(std::isfinite(shortTerm) ? std::pow(10.0, (shortTerm + 0.691) / 10) : 0.0);
        const double earlier = i >= apart ? threeEnergy[i - apart] : 0.0;   // before the start: silence
        const double six = -0.691 + 10 * std::log10((threeEnergy[i] + earlier) / 2);
        out.shortTerm.push_back(floored(shortTerm));
        out.six.push_back(floored(six));
        out.half.push_back(floored(half));
    }
    if (fed < audio.frames)
        ebur128_add_frames_float(st.get(), audio.samples + fed * size_t(audio.channels), audio.frames - fed);
    double integrated = -HUGE_VAL, range = 0;
    ebur128_loudness_global(st.get(), &integrated);
    ebur128_loudness_range(st.get(), &range);
    out.integrated = floored(integrated);
    out.range = range;
    return out;
}

double integratedLoudness(const AudioView& audio, double from, double to)
{
    LoudnessState st = newState(audio, EBUR128_MODE_I);
    const size_t a = frameAt(audio, from), b = frameAt(audio, to);
    if (b > a) ebur128_add_frames_float(st.get(), audio.samples + a * size_t(audio.channels), b - a);
    double lufs = -HUGE_VAL;
    ebur128_loudness_global(st.get(), &lufs);
    return floored(lufs);
}

OctaveFrames octaveFrames(const AudioView& audio)
{
    constexpr int Size = 4096, Hop = 2048;
    OctaveFrames out;
    out.hop = double(Hop) / audio.rate;
    // Bands an octave wide around 62.5 Hz .. 16 kHz; bins outside them (the lowest rumble, the top
    // above 22.6 kHz) belong to none.
    std::vector<int> bandOf(Size / 2 + 1, -1);
    for (int k = 0; k <= Size / 2; ++k) {
        const double hz = double(k) * audio.rate / Size;
        for (int b = 0; b < OctaveBands; ++b) {
            const double centre = 1000 * std::pow(2.0, b - 4);
            if (hz >= centre / std::sqrt(2.0) && hz < centre * std::sqrt(2.0)) bandOf[size_t(k)] = b;
        }
    }
    std::vector<float> window(Size);
    for (int i = 0; i < Size; ++i) window[size_t(i)] = float(0.5 - 0.5 * std::cos(2 * M_PI * i / Size));
    // A full-scale sine reads power 1 in its band.
    const double scale = 1.0 / ((Size / 4.0) * (Size / 4.0));

    float* in = fftwf_alloc_real(Size);
    fftwf_complex* spectrum = fftwf_alloc_complex(Size / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(Size, in, spectrum, FFTW_ESTIMATE);
    for (size_t start = 0; start + Size <= audio.frames; start += Hop) {
        BandLevels power{};
        for (int c = 0; c < audio.channels; ++c) {
            for (int i = 0; i < Size; ++i)
                in[i] = audio.samples[(start + size_t(i)) * size_t(audio.channels) + size_t(c)] * window[size_t(i)];
            fftwf_execute(plan);
            for (int k = 0; k <= Size / 2; ++k)
                if (bandOf[size_t(k)] >= 0)
                    power[size_t(bandOf[size_t(k)])] +=
                        (double(spectrum[k][0]) * spectrum[k][0] + double(spectrum[k][1]) * spectrum[k][1]) * scale;
        }
        out.power.push_back(power);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    fftwf_free(in);
    return out;
}

BandLevels meanBandPower(const OctaveFrames& frames, double from, double to)
{
    BandLevels sum{};
    if (frames.hop <= 0) return sum;
    // Frame j is centred at (j + 1) x hop.
    const long first = std::max(0L, long(std::ceil(from / frames.hop - 1)));
    long count = 0;
    for (long j = first; j < long(frames.power.size()) && double(j + 1) * frames.hop < to; ++j, ++count)
        for (int b = 0; b < OctaveBands; ++b) sum[size_t(b)] += frames.power[size_t(j)][size_t(b)];
    if (count > 0)
        for (double& p : sum) p /= double(count);
    return sum;
}

double shapeDistance(const BandLevels& powerA, const BandLevels& powerB)
{
    BandLevels a{}, b{};
    double meanA = 0, meanB = 0;
    for (int i = 0; i < OctaveBands; ++i) {
        a[size_t(i)] = 10 * std::log10(powerA[size_t(i)] + 1e-12);
        b[size_t(i)] = 10 * std::log10(powerB[size_t(i)] + 1e-12);
        meanA += a[size_t(i)] / OctaveBands;
        meanB += b[size_t(i)] / OctaveBands;
    }
    double sum = 0;
    for (int i = 0; i < OctaveBands; ++i) {
        const double d = (a[size_t(i)] - meanA) - (b[size_t(i)] - meanB);
        sum += d * d;
    }
    return std::sqrt(sum / OctaveBands);
}

ChangeCurve measureChanges(const LoudnessCurves& loudness, const OctaveFrames& frames, double seconds)
{
    ChangeCurve out;
    out.step = loudness.step;
    out.first = ChangeWindow;
    const double last = std::min(seconds, double(loudness.six.size() - 1) * loudness.step) - ChangeWindow;
    for (size_t i = 0; out.time(i) <= last + 1e-9; ++i) {
        const double t = out.time(i);
        const double before = loudness.six[index(t, loudness.step)];
        const double after = loudness.six[index(t + ChangeWindow, loudness.step)];
        const double level = std::fabs(after - before);
        double shape = 0;
        if (before >= ShapeMinLoudness && after >= ShapeMinLoudness)
            shape = shapeDistance(meanBandPower(frames, t - ChangeWindow, t), meanBandPower(frames, t, t + ChangeWindow));
        out.level.push_back(level);
        out.shape.push_back(shape);
        out.audible.push_back(level >= AudibleLevelStep || shape >= AudibleShapeStep);
    }
    return out;
}

std::vector<double> audibleMoments(const ChangeCurve& changes)
{
    std::vector<double> moments;
    for (size_t i = 0; i < changes.audible.size(); ++i)
        if (changes.audible[i]) moments.push_back(changes.time(i));
    return moments;
}

std::vector<double> strongestOfRuns(const ChangeCurve& changes)
{
    std::vector<double> places;
    double best = 0;
    for (size_t i = 0; i < changes.audible.size(); ++i) {
        if (!changes.audible[i]) continue;
        const double strength = std::max(changes.level[i] / AudibleLevelStep, changes.shape[i] / AudibleShapeStep);
        const bool runStarts = i == 0 || !changes.audible[i - 1];
        if (runStarts) places.push_back(changes.time(i)), best = strength;
        else if (strength > best) places.back() = changes.time(i), best = strength;
    }
    return places;
}

Stretch longestUnchanged(const std::vector<double>& moments, double seconds)
{
    std::vector<double> bounds{0};
    bounds.insert(bounds.end(), moments.begin(), moments.end());
    bounds.push_back(seconds);
    Stretch best;
    for (size_t i = 0; i + 1 < bounds.size(); ++i)
        if (bounds[i + 1] - bounds[i] > best.length()) best = {bounds[i], bounds[i + 1]};
    return best;
}

ChangePeak largestInside(const ChangeCurve& changes, Stretch s)
{
    ChangePeak peak;
    for (size_t i = 0; i < changes.shape.size(); ++i)
        if (changes.time(i) > s.from + 1e-9 && changes.time(i) < s.to - 1e-9) {
            peak.level = std::max(peak.level, changes.level[i]);
            peak.shape = std::max(peak.shape, changes.shape[i]);
        }
    return peak;
}

double largestLevelMoveInside(const ChangeCurve& changes, Stretch s)
{
    double largest = 0;
    for (size_t i = 0; i < changes.level.size(); ++i) {
        const double t = changes.time(i);
        if (t - ChangeWindow >= s.from - 1e-9 && t + ChangeWindow <= s.to + 1e-9) largest = std::max(largest, changes.level[i]);
    }
    return largest;
}

std::vector<std::vector<double>> formFeatures(const OctaveFrames& frames, const LoudnessCurves& loudness,
                                              double seconds)
{
    const size_t count = size_t(seconds / FeatureStep);
    std::vector<std::vector<double>> features(count, std::vector<double>(OctaveBands + 1));
    for (size_t n = 0; n < count; ++n) {
        const double from = double(n) * FeatureStep, to = from + FeatureStep;
        const BandLevels p = meanBandPower(frames, from, to);
        // Floored at -80 dB of a full-scale sine: below that a band is silent to the ear, and the
        // decoder's or a 16-bit file's rounding noise must not pass for a change of colour.
        for (int b = 0; b < OctaveBands; ++b) features[n][size_t(b)] = 10 * std::log10(std::max(p[size_t(b)], 1e-8));
        const size_t li = std::min(index(to, loudness.step), loudness.half.size() - 1);
        features[n][OctaveBands] = loudness.half[li];
    }
    // Each feature in units of its own spread over the track, so no band outweighs the others.
    for (size_t d = 0; d < OctaveBands + 1; ++d) {
        double mean = 0, square = 0;
        for (const auto& f : features) mean += f[d] / double(count);
        for (const auto& f : features) square += (f[d] - mean) * (f[d] - mean) / double(count);
        const double sd = std::sqrt(square);
        for (auto& f : features) f[d] = sd > 1e-9 ? (f[d] - mean) / sd : 0;
    }
    return features;
}

std::vector<double> noveltyCurve(const std::vector<std::vector<double>>& features)
{
    const size_t n = features.size();
    std::vector<double> norm(n);
    for (size_t i = 0; i < n; ++i) {
        double s = 0;
        for (double v : features[i]) s += v * v;
        norm[i] = std::sqrt(s);
    }
    auto similarity = [&](size_t i, size_t j) {
        if (norm[i] < 1e-12 || norm[j] < 1e-12) return 0.0;
        double dot = 0;
        for (size_t d = 0; d < features[i].size(); ++d) dot += features[i][d] * features[j][d];
        return dot / (norm[i] * norm[j]);
    };
    // Checkerboard over offsets -L .. L-1 from the centre: the L vectors before a boundary against the
    // L after it. The Gaussian's deviation is half the half-width, the usual taper.
    const long L = std::lround(KernelHalfWidth / FeatureStep);
    const double sigma = double(L) / 2;
    std::vector<double> taper(size_t(2 * L)), sign(size_t(2 * L));
    double total = 0;
    for (long a = -L; a < L; ++a) {
        const double u = double(a) + 0.5;
        taper[size_t(a + L)] = std::exp(-u * u / (2 * sigma * sigma));
        sign[size_t(a + L)] = u < 0 ? -1 : 1;
    }
    for (double ga : taper)
        for (double gb : taper) total += ga * gb;
    std::vector<double> novelty(n, 0.0);
    for (long c = L; c + L <= long(n); ++c) {
        double sum = 0;
        for (long a = -L; a < L; ++a)
            for (long b = -L; b < L; ++b)
                sum += sign[size_t(a + L)] * sign[size_t(b + L)] * taper[size_t(a + L)] * taper[size_t(b + L)] *
                       similarity(size_t(c + a), size_t(c + b));
        // Within-block similarity counts for, across-boundary against; the sign makes a boundary positive.
        novelty[size_t(c)] = sum / total;
    }
    return novelty;
}

std::vector<NoveltyPeak> noveltyPeaks(const std::vector<double>& novelty)
{
    const long n = long(novelty.size());
    const long P = std::lround(PeakNeighbourhood / FeatureStep), M = std::lround(ThresholdSpan / FeatureStep);
    std::vector<NoveltyPeak> peaks;
    std::vector<double> around;
    for (long c = 0; c < n; ++c) {
        const double v = novelty[size_t(c)];
        if (v <= 0) continue;
        bool peak = true;
        // The largest within +-P; of equal values the first wins.
        for (long j = std::max(0L, c - P); j <= std::min(n - 1, c + P) && peak; ++j)
            peak = j < c ? novelty[size_t(j)] < v : novelty[size_t(j)] <= v;
        if (!peak) continue;
        around.assign(novelty.begin() + std::max(0L, c - M), novelty.begin() + std::min(n, c + M + 1));
        peaks.push_back({double(c) * FeatureStep, v, medianOf(around) + ThresholdOffset});
    }
    return peaks;
}

std::vector<double> noveltyBoundaries(const std::vector<double>& novelty)
{
    std::vector<double> boundaries;
    for (const NoveltyPeak& p : noveltyPeaks(novelty))
        if (p.boundary()) boundaries.push_back(p.time);
    return boundaries;
}

std::vector<Stretch> sectionsFrom(const std::vector<double>& boundaries, double seconds)
{
    std::vector<Stretch> sections;
    double from = 0;
    for (double b : boundaries) {
        if (b <= from || b >= seconds) continue;
        sections.push_back({from, b});
        from = b;
    }
    sections.push_back({from, seconds});
    return sections;
}
