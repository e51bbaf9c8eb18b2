// The form of a track as a listener hears it: loudness over time (EBU R 128 through libebur128),
// audible changes between neighbouring 6 s windows, and sections found by novelty in a self-similarity
// matrix. Pure computation on sample arrays, shared by track_form and the tests.
#pragma once
#include <array>
#include <cstddef>
#include <vector>

// Interleaved samples in [-1, 1]; one or two channels, any rate libebur128 accepts.
struct AudioView {
    const float* samples = nullptr;
    size_t frames = 0;
    int channels = 2;
    int rate = 44100;

    double seconds() const { return double(frames) / rate; }
};

constexpr double SilenceFloor = -70;   // LUFS: silent windows count as this loud

// --- Loudness (LUFS; every curve has one value per `step` seconds, value i for the window ending at i x step)
struct LoudnessCurves {
    double step = 0.1;                  // seconds
    std::vector<double> shortTerm;      // the 3 s window, ungated, floored at SilenceFloor
    std::vector<double> six;            // the 6 s window, ungated, floored at SilenceFloor
    std::vector<double> half;           // the 0.5 s window, ungated, floored at SilenceFloor
    double integrated = SilenceFloor;   // gated, the whole track
    double range = 0;                   // LRA in LU
};
LoudnessCurves measureLoudness(const AudioView& audio, double step = 0.1);
// Gated loudness of [from, to) seconds, measured by a state of its own; SilenceFloor if silent.
double integratedLoudness(const AudioView& audio, double from, double to);

// --- Spectral shape (octave bands 63 Hz .. 16 kHz, Hann frames of 4096 samples every 2048)
constexpr int OctaveBands = 9;
using BandLevels = std::array<double, OctaveBands>;
struct OctaveFrames {
    double hop = 0;                     // seconds between frames; frame j is centred at (j + 1) x hop
    std::vector<BandLevels> power;      // per frame, the power in each band, both channels summed
};
OctaveFrames octaveFrames(const AudioView& audio);
BandLevels meanBandPower(const OctaveFrames& frames, double from, double to);   // frames centred in [from, to)
// RMS over bands of the difference of the two spectra in dB, each less its mean across bands (dB, >= 0).
double shapeDistance(const BandLevels& powerA, const BandLevels& powerB);

// --- Audible changes: the 6 s before each moment against the 6 s after
constexpr double ChangeWindow = 6;       // seconds either side
constexpr double AudibleLevelStep = 3;   // LU
constexpr double AudibleShapeStep = 4;   // dB
constexpr double ShapeMinLoudness = -60; // LUFS: quieter windows have no shape worth comparing

struct ChangeCurve {
    double first = 0, step = 0.1;        // moment i is first + i x step seconds
    std::vector<double> level;           // dL, LU
    std::vector<double> shape;           // dS, dB (0 where a window is too quiet to compare)
    std::vector<bool> audible;           // dL >= 3 or dS >= 4

    double time(size_t i) const { return first + double(i) * step; }
};
ChangeCurve measureChanges(const LoudnessCurves& loudness, const OctaveFrames& frames, double seconds);
std::vector<double> audibleMoments(const ChangeCurve& changes);   // seconds, increasing
// One moment per run of consecutive audible moments: where max(dL / 3, dS / 4) peaks, which is where
// the two windows straddle the change (seconds, increasing).
std::vector<double> strongestOfRuns(const ChangeCurve& changes);

struct Stretch {
    double from = 0, to = 0;   // seconds
    double length() const { return to - from; }
};
// The longest time between consecutive audible changes, the track's start and end counting as changes.
Stretch longestUnchanged(const std::vector<double>& moments, double seconds);
struct ChangePeak {
    double level = 0;   // largest dL, LU
    double shape = 0;   // largest dS, dB
};
ChangePeak largestInside(const ChangeCurve& changes, Stretch s);   // over moments strictly inside; 0 when none
// Largest dL over moments whose two windows both lie in the stretch (LU, 0 when none fits).
double largestLevelMoveInside(const ChangeCurve& changes, Stretch s);

// --- Sections by novelty in a self-similarity matrix
constexpr double FeatureStep = 0.5;      // seconds between feature vectors
constexpr double KernelHalfWidth = 4;    // seconds: the checkerboard spans +-4 s
constexpr double PeakNeighbourhood = 4;  // seconds: a boundary is the largest novelty within +-4 s
constexpr double ThresholdSpan = 8;      // seconds: the adaptive threshold is the median within +-8 s ...
constexpr double ThresholdOffset = 0.05; // ... plus this much novelty. Between two steady blocks whose
                                         // cosine similarity is c, novelty is (1 - c) / 2: 0.05 is c = 0.9

// One vector per FeatureStep: log band energies and 0.5 s loudness, each z-normalised over the track.
std::vector<std::vector<double>> formFeatures(const OctaveFrames& frames, const LoudnessCurves& loudness,
                                              double seconds);
// Novelty per feature vector: cosine self-similarity under a Gaussian-tapered checkerboard kernel,
// normalised so it lies in [-1, 1]; 0 within a kernel half-width of either end.
std::vector<double> noveltyCurve(const std::vector<std::vector<double>>& features);
struct NoveltyPeak {
    double time = 0;        // seconds
    double novelty = 0;     // the peak's value
    double threshold = 0;   // the median around it plus ThresholdOffset
    bool boundary() const { return novelty > threshold; }
};
std::vector<NoveltyPeak> noveltyPeaks(const std::vector<double>& novelty);   // every positive local maximum over +-4 s
std::vector<double> noveltyBoundaries(const std::vector<double>& novelty);   // seconds of the peaks above threshold
std::vector<Stretch> sectionsFrom(const std::vector<double>& boundaries, double seconds);
