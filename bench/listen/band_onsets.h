// The yardstick the listening rules are measured with: note onsets in one narrow band of a decoded
// track, found the way a measurement would find them (the whole track at once, both channels, a
// finer spectrum than the show's), not the way the show's rules do.
#pragma once
#include <cstddef>
#include <vector>

// --- Analysis settings (44.1 kHz)
constexpr int BandFrame = 1024;             // samples per Hann frame (23.2 ms; bins 43.07 Hz apart)
constexpr int BandHop = 128;                // samples between frames (2.9 ms)

// --- An onset (seconds; flux in log units summed over the band's bins)
constexpr int BandLag = 4;                  // the rise into a frame is over the frame 4 hops (11.6 ms) before
constexpr double BandCompression = 100;     // magnitude m (1 for a full-scale sine) counts as log(1 + 100 m)
constexpr double BandPeakSpan = 0.03;       // an onset is the flux's largest value within +-30 ms ...
constexpr double BandMeanSpan = 0.25;       // ... above the flux's mean within +-250 ms ...
constexpr double BandDelta = 1.0;           // ... by this much at least ...
constexpr double BandDeviations = 4.0;    // ... and by 4 standard deviations of the flux there
constexpr double BandWait = 0.05;           // ... at least 50 ms after the onset before

// The show's spectrum entry k (512 points at 44.1 kHz, rectangular window) hears k x 86.13 Hz, with its
// main lobe reaching the neighbouring entries' centres: the band measured is that lobe,
// (k - 1) x 86.13 to (k + 1) x 86.13 Hz.
struct BandRange {
    double lowHz = 0, highHz = 0;
};
BandRange bandOfShowEntry(int entry);

// --- Detection (interleaved stereo at 44.1 kHz, both channels mixed)
// Flux per hop: value j is the rise into frame j over frame j - BandLag (0 for the first frames).
std::vector<double> bandFlux(const float* stereo, size_t frames, BandRange band);
double bandFrameTime(size_t j);                                       // seconds: the moment frame j stands for
std::vector<double> bandOnsets(const float* stereo, size_t frames, BandRange band);   // seconds, increasing
