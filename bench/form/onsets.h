// Note onsets by spectral flux, fine enough in time to say whether a cue lands on a hit: the rise of
// the log-compressed magnitude spectrum from one short frame to the next, summed over bins, with an
// adaptive threshold.
#pragma once
#include <cstddef>
#include <vector>

#include "audio_form.h"

// --- Analysis settings
constexpr int OnsetFrame = 512;            // samples per Hann frame (11.6 ms at 44.1 kHz)
constexpr int OnsetHop = 64;               // samples between frames (1.45 ms at 44.1 kHz)
constexpr double OnsetCompression = 100;   // magnitude m becomes log(1 + 100 m); a full-scale sine reads m = 1

// --- Peak picking on the flux scaled to [0, 1] (seconds)
constexpr double OnsetMaxSpan = 0.03;      // an onset is the flux's largest value within +-30 ms
constexpr double OnsetMeanSpan = 0.1;      // ... exceeding the mean within +-100 ms
constexpr double OnsetDelta = 0.07;        // ... by this much
constexpr double OnsetWait = 0.03;         // ... and at least 30 ms after the previous onset

// --- Detection (both channels mixed)
// The flux per hop, value j for the rise into frame j (j = 0 has none: 0).
std::vector<double> spectralFlux(const AudioView& audio);
double fluxTime(size_t j, int rate);                    // seconds: the moment flux value j stands for
std::vector<double> detectOnsets(const AudioView& audio);   // seconds, increasing

// --- Against a list of moments
// For each time, the distance to the nearest onset (seconds, >= 0; infinity without onsets).
std::vector<double> nearestOnsetDistances(const std::vector<double>& onsets, const std::vector<double>& times);
