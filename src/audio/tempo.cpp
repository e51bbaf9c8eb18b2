// Each band's rises are made into an onset envelope (what rises above the band's own mean within
// +-0.1 s, lightly smoothed, scaled to a mean of 1 so a loud band does not drown the others); the sum
// of the five is "the whole spectrum", the snare band alone the backbeat. Periods are read from
// autocorrelations: a comb over several beats finds how often the track repeats, the snare band's
// comb less its values half a period earlier says whether two beats is its own period (a snare on
// every beat, or only every bar, scores low). Made patterns at 170-180 BPM are where a comb alone
// picks half the tempo: the whole spectrum of a two-step beat repeats every two beats as strongly
// as every beat, and only the snare's place tells them apart.
#include "audio/tempo.h"

#include <algorithm>

#include "audio/cue_finder.h"

namespace {
constexpr double LocalMeanSeconds = 0.1;
constexpr double SearchLowest = 40;       // BPM: the whole spectrum's period is looked for from here
constexpr double SearchStep = 0.1;        // BPM
constexpr double RefineSpan = 0.02;       // the beat refined within +-2 % ...
constexpr double RefineStep = 0.01;       // ... in steps of 0.01 BPM
constexpr int CombBeats = 4;              // beats the search's comb spans
constexpr int RefineBeats = 8;            // beats the refinement's comb spans
constexpr double AgreementSpan = 0.02;    // a window agrees when its own beat is within 2 %

std::vector<double> envelopeOf(const std::vector<float>& rises, double rate)
{
    const size_t n = rises.size();
    std::vector<double> sum(n + 1, 0.0);
    for (size_t j = 0; j < n; ++j) sum[j + 1] = sum[j] + rises[j];
    const size_t w = size_t(LocalMeanSeconds * rate);
    std::vector<double> above(n, 0.0), out(n, 0.0);
    for (size_t j = 0; j < n; ++j) {
        const size_t a = j > w ? j - w : 0, b = std::min(n - 1, j + w);
        above[j] = std::max(0.0, double(rises[j]) - (sum[b + 1] - sum[a]) / double(b - a + 1));
    }
    double total = 0;
    for (size_t j = 0; j < n; ++j) {
        out[j] = 0.5 * above[j] + 0.25 * (j > 0 ? above[j - 1] : 0.0) + 0.25 * (j + 1 < n ? above[j + 1] : 0.0);
        total += out[j];
    }
    if (total > 0)
        for (double& v : out) v *= double(n) / total;
    return out;
}

// Autocorrelation of e[first, last) less its mean, over lags 0..maxLag, divided by lag 0's (all zero
// for a flat stretch).
std::vector<double> autocorrelation(const std::vector<double>& e, size_t first, size_t last, size_t maxLag)
{
    std::vector<double> r(maxLag + 1, 0.0);
    if (last <= first + maxLag) return r;
    double mean = 0;
    for (size_t j = first; j < last; ++j) mean += e[j];
    mean /= double(last - first);
    std::vector<double> x(e.begin() + long(first), e.begin() + long(last));
    for (double& v : x) v -= mean;
    for (size_t lag = 0; lag <= maxLag; ++lag) {
        double s = 0;
        for (size_t j = 0; j + lag < x.size(); ++j) s += x[j] * x[j + lag];
        r[lag] = s / double(x.size() - lag);
    }
    const double zero = r[0];
    for (double& v : r) v = zero > 0 ? v / zero : 0.0;
    return r;
}

double valueAt(const std::vector<double>& r, double lag)
{
    if (!(lag >= 0)) return 0;
    const size_t i = size_t(lag);
    if (i + 1 >= r.size()) return 0;
    const double f = lag - double(i);
    return r[i] * (1 - f) + r[i + 1] * f;
}

// Mean autocorrelation at 1..beats beats of bpm.
double comb(const std::vector<double>& r, double rate, double bpm, int beats)
{
    const double beat = 60 * rate / bpm;
    double s = 0;
    for (int k = 1; k <= beats; ++k) s += valueAt(r, k * beat);
    return s / beats;
}

// Positive where two beats of bpm is the band's own period: it repeats there and at twice that, and
// not half a period earlier.
double backbeatScore(const std::vector<double>& snare, double rate, double bpm)
{
    const double period = 120 * rate / bpm;
    double s = 0;
    for (int k = 1; k <= 2; ++k) s += valueAt(snare, k * period) - valueAt(snare, (k - 0.5) * period);
    return s;
}
}  // namespace

TempoEstimate estimateTempo(const std::vector<std::vector<float>>& bands, double rate)
{
    TempoEstimate out;
    if (bands.size() != size_t(TempoBandCount) || !(rate > 0)) return out;
    std::vector<std::vector<double>> envelopes;
    for (const std::vector<float>& b : bands) envelopes.push_back(envelopeOf(b, rate));
    const size_t n = envelopes[0].size();
    std::vector<double> whole(n, 0.0);
    for (const std::vector<double>& e : envelopes)
        for (size_t j = 0; j < n && j < e.size(); ++j) whole[j] += e[j];

    const size_t maxLag = size_t(std::ceil(RefineBeats * 60 * rate / TempoLowest)) + 2;
    if (n <= maxLag * 2) return out;
    const std::vector<double> r = autocorrelation(whole, 0, n, maxLag);
    const std::vector<double> snare = autocorrelation(envelopes[TempoSnareBand], 0, n, maxLag);
    if (r[0] == 0) return out;

    // How often the whole spectrum repeats, then which of its octaves in range is the beat.
    double repeats = 0, best = -2;
    for (double bpm = SearchLowest; bpm <= TempoHighest; bpm += SearchStep) {
        const double c = comb(r, rate, bpm, CombBeats);
        if (c > best) {
            best = c;
            repeats = bpm;
        }
    }
    double beat = 0, score = -1e9, other = -1e9;
    for (int octave = -2; octave <= 3; ++octave) {
        const double bpm = repeats * std::pow(2.0, octave);
        if (bpm < TempoLowest || bpm >= TempoHighest) continue;
        const double s = backbeatScore(snare, rate, bpm);
        if (s > score) {
            other = score;
            score = s;
            beat = bpm;
        } else {
            other = std::max(other, s);
        }
    }
    if (beat == 0) return out;
    // Refined on a comb over more beats, where a small error in the period adds up.
    double refined = beat, top = -2;
    for (double bpm = beat * (1 - RefineSpan); bpm <= beat * (1 + RefineSpan); bpm += RefineStep) {
        const double c = comb(r, rate, bpm, RefineBeats);
        if (c > top) {
            top = c;
            refined = bpm;
        }
    }
    out.bpm = refined;
    out.clarity = top;
    out.backbeat = score;
    out.lead = other > -1e8 ? score - other : score;

    // Steadiness: in each window with sound, the beat near this one that its own autocorrelation
    // (over one and two beats) likes best.
    const size_t window = size_t(TempoWindowSeconds * rate), step = window / 2;
    const size_t windowLag = size_t(std::ceil(2 * 60 * rate / (refined * 0.8))) + 2;
    int agree = 0, counted = 0;
    for (size_t first = 0; first + window <= n; first += step) {
        const std::vector<double> w = autocorrelation(whole, first, first + window, windowLag);
        if (w[0] == 0) continue;
        ++counted;
        double local = 0, localBest = -1e9;
        for (double bpm = refined * 0.8; bpm <= refined * 1.25; bpm += SearchStep / 2) {
            const double c = valueAt(w, 60 * rate / bpm) + valueAt(w, 120 * rate / bpm);
            if (c > localBest) {
                localBest = c;
                local = bpm;
            }
        }
        if (std::fabs(local / refined - 1) < AgreementSpan) ++agree;
    }
    out.agreement = counted ? double(agree) / counted : 0;
    out.steady = out.clarity >= TempoMinClarity && out.backbeat >= TempoMinBackbeat && out.lead >= TempoMinBackbeat &&
                 out.agreement >= TempoMinAgreement;
    return out;
}

TempoEstimate estimateTempo(const OnsetCurve& curve)
{
    std::vector<std::vector<float>> bands;
    for (int b = 0; b < TempoBandCount; ++b) bands.push_back(curve.tempoFlux(b));
    return estimateTempo(bands, OnsetCurve::tempoFramesPerSecond());
}
