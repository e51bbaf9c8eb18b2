// Band onsets by spectral flux over the band's bins only: each bin's rise counts, so a new note reads
// even where the band was already full, and the threshold follows how much the flux itself wanders
// there, so a steady noise or a dense texture is not a stream of onsets.
#include "band_onsets.h"

#include <algorithm>
#include <cmath>

#include <fftw3.h>

namespace {
constexpr double ShowEntryHz = 44100.0 / 512;
constexpr double BinHz = 44100.0 / BandFrame;
constexpr double HopSeconds = double(BandHop) / 44100.0;
}  // namespace

BandRange bandOfShowEntry(int entry) { return {(entry - 1) * ShowEntryHz, (entry + 1) * ShowEntryHz}; }

std::vector<double> bandFlux(const float* stereo, size_t frames, BandRange band)
{
    std::vector<double> flux;
    if (frames < size_t(BandFrame)) return flux;
    const int low = int(std::ceil(band.lowHz / BinHz)), high = int(std::floor(band.highHz / BinHz));
    std::vector<float> window(BandFrame);
    for (int i = 0; i < BandFrame; ++i) window[size_t(i)] = float(0.5 - 0.5 * std::cos(2 * M_PI * i / BandFrame));
    const double scale = 4.0 / BandFrame;   // a full-scale sine on a bin reads 1 through the Hann window

    float* in = fftwf_alloc_real(BandFrame);
    fftwf_complex* spectrum = fftwf_alloc_complex(BandFrame / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(BandFrame, in, spectrum, FFTW_ESTIMATE);
    std::vector<std::vector<double>> history;   // the log magnitudes of the band in the last BandLag frames
    for (size_t start = 0; start + BandFrame <= frames; start += BandHop) {
        for (int i = 0; i < BandFrame; ++i) {
            const size_t s = (start + size_t(i)) * 2;
            in[i] = 0.5f * (stereo[s] + stereo[s + 1]) * window[size_t(i)];
        }
        fftwf_execute(plan);
        std::vector<double> now;
        for (int k = low; k <= high; ++k)
            now.push_back(std::log1p(BandCompression * std::hypot(double(spectrum[k][0]), double(spectrum[k][1])) * scale));
        double rise = 0;
        if (history.size() == size_t(BandLag))
            for (size_t b = 0; b < now.size(); ++b) rise += std::max(0.0, now[b] - history.front()[b]);
        flux.push_back(rise);
        history.push_back(std::move(now));
        if (history.size() > size_t(BandLag)) history.erase(history.begin());
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    fftwf_free(in);
    return flux;
}

double bandFrameTime(size_t j)
{
    // A hit that frame j - BandLag has not seen rises most into the frame that has it at the Hann
    // window's middle, where its weight is whole; a hop later it stands past the middle. So value j
    // stands for the frame's middle, at most a hop before the hit's own sample.
    return (double(j) * BandHop + BandFrame / 2.0) / 44100.0;
}

std::vector<double> bandOnsets(const float* stereo, size_t frames, BandRange band)
{
    const std::vector<double> flux = bandFlux(stereo, frames, band);
    const long n = long(flux.size());
    const long peakSpan = std::lround(BandPeakSpan / HopSeconds), meanSpan = std::lround(BandMeanSpan / HopSeconds);
    const long wait = std::lround(BandWait / HopSeconds);
    // Running sums of the flux and its square: each frame's local mean and deviation in constant time.
    std::vector<double> sum(flux.size() + 1, 0.0), squares(flux.size() + 1, 0.0);
    for (size_t j = 0; j < flux.size(); ++j) {
        sum[j + 1] = sum[j] + flux[j];
        squares[j + 1] = squares[j] + flux[j] * flux[j];
    }
    std::vector<double> onsets;
    long last = -wait - 1;
    for (long j = 1; j < n; ++j) {
        const double v = flux[size_t(j)];
        const long a = std::max(0L, j - peakSpan), b = std::min(n - 1, j + peakSpan);
        if (*std::max_element(flux.begin() + a, flux.begin() + b + 1) > v || j - last <= wait) continue;
        const long ma = std::max(0L, j - meanSpan), mb = std::min(n - 1, j + meanSpan);
        const double count = double(mb - ma + 1);
        const double mean = (sum[size_t(mb + 1)] - sum[size_t(ma)]) / count;
        const double deviation = std::sqrt(std::max(0.0, (squares[size_t(mb + 1)] - squares[size_t(ma)]) / count - mean * mean));
        if (v < mean + std::max(BandDelta, BandDeviations * deviation)) continue;
        onsets.push_back(bandFrameTime(size_t(j)));
        last = j;
    }
    return onsets;
}
