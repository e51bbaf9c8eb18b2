// Spectral-flux onsets. The timing reference is set so a click reads at its own sample: see fluxTime.
#include "onsets.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fftw3.h>

std::vector<double> spectralFlux(const AudioView& audio)
{
    constexpr int Bins = OnsetFrame / 2 + 1;
    std::vector<double> flux;
    if (audio.frames < size_t(OnsetFrame)) return flux;
    std::vector<float> window(OnsetFrame);
    for (int i = 0; i < OnsetFrame; ++i) window[size_t(i)] = float(0.5 - 0.5 * std::cos(2 * M_PI * i / OnsetFrame));
    const double scale = 4.0 / OnsetFrame;   // a full-scale sine on a bin reads 1 through the Hann window

    float* in = fftwf_alloc_real(OnsetFrame);
    fftwf_complex* spectrum = fftwf_alloc_complex(Bins);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(OnsetFrame, in, spectrum, FFTW_ESTIMATE);
    std::vector<double> previous(Bins, 0.0), current(Bins);
    for (size_t start = 0; start + OnsetFrame <= audio.frames; start += OnsetHop) {
        for (int i = 0; i < OnsetFrame; ++i) {
            double mix = 0;
            for (int c = 0; c < audio.channels; ++c) mix += audio.samples[(start + size_t(i)) * size_t(audio.channels) + size_t(c)];
            in[i] = float(mix / audio.channels) * window[size_t(i)];
        }
        fftwf_execute(plan);
        double rise = 0;
        for (int k = 0; k < Bins; ++k) {
            const double m = std::hypot(double(spectrum[k][0]), double(spectrum[k][1])) * scale;
            current[size_t(k)] = std::log1p(OnsetCompression * m);
            rise += std::max(0.0, current[size_t(k)] - previous[size_t(k)]);
        }
        flux.push_back(start == 0 ? 0.0 : rise);
        std::swap(previous, current);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    fftwf_free(in);
    return flux;
}

double fluxTime(size_t j, int rate)
{
    // A hit at a frame's newest edge gets almost no window weight; as frames move on it weighs more,
    // and the rise from frame to frame is largest where the Hann window is steepest, three quarters
    // into the frame. Half a hop back for the rise into frame j: the hit sits N/4 + hop/2 before the
    // frame's end. (Very loud hits, deep in the logarithm's compression, peak up to N/4 earlier.)
    return (double(j) * OnsetHop + OnsetFrame - OnsetFrame / 4.0 - OnsetHop / 2.0) / rate;
}

std::vector<double> detectOnsets(const AudioView& audio)
{
    std::vector<double> flux = spectralFlux(audio);
    std::vector<double> onsets;
    if (flux.empty()) return onsets;
    const auto [lo, hi] = std::minmax_element(flux.begin(), flux.end());
    const double low = *lo, range = *hi - *lo;
    if (range <= 0) return onsets;
    for (double& f : flux) f = (f - low) / range;

    const double hop = double(OnsetHop) / audio.rate;
    const long maxSpan = std::lround(OnsetMaxSpan / hop), meanSpan = std::lround(OnsetMeanSpan / hop);
    const long wait = std::lround(OnsetWait / hop);
    const long n = long(flux.size());
    // Running sums give each frame's local mean in constant time.
    std::vector<double> prefix(flux.size() + 1, 0.0);
    for (size_t j = 0; j < flux.size(); ++j) prefix[j + 1] = prefix[j] + flux[j];
    long last = -wait - 1;
    for (long j = 1; j < n; ++j) {
        const double v = flux[size_t(j)];
        const long a = std::max(0L, j - maxSpan), b = std::min(n - 1, j + maxSpan);
        if (*std::max_element(flux.begin() + a, flux.begin() + b + 1) > v) continue;
        const long ma = std::max(0L, j - meanSpan), mb = std::min(n - 1, j + meanSpan);
        const double mean = (prefix[size_t(mb + 1)] - prefix[size_t(ma)]) / double(mb - ma + 1);
        if (v < mean + OnsetDelta || j - last <= wait) continue;
        onsets.push_back(fluxTime(size_t(j), audio.rate));
        last = j;
    }
    return onsets;
}

std::vector<double> nearestOnsetDistances(const std::vector<double>& onsets, const std::vector<double>& times)
{
    std::vector<double> out;
    for (double t : times) {
        double best = std::numeric_limits<double>::infinity();
        const auto it = std::lower_bound(onsets.begin(), onsets.end(), t);
        if (it != onsets.end()) best = *it - t;
        if (it != onsets.begin()) best = std::min(best, t - *(it - 1));
        out.push_back(best);
    }
    return out;
}
