// The tempo of a listener's track, from the onset curve the cues are found in: how often its whole
// spectrum repeats, which octave of that is the beat (where the snare's crack comes every two beats,
// as a backbeat does), and whether the track keeps to it. Pure computation on a complete curve.
#pragma once
#include <cmath>
#include <vector>

class OnsetCurve;

// --- The beat's range and what "sure" means
constexpr double TempoLowest = 70;          // beats per minute; a slower beat reads at its double
constexpr double TempoHighest = 200;        // a faster one at its half
constexpr double TempoWindowSeconds = 12;   // the steadiness test's windows, one every half window
constexpr double TempoMinClarity = 0.2;     // the whole spectrum's autocorrelation at the beat, averaged over 8 beats
constexpr double TempoMinBackbeat = 0.2;    // the snare band's evidence for this octave, and its lead over the others
constexpr double TempoMinAgreement = 0.75;  // share of the windows whose own beat is within 2 % of it

struct TempoEstimate {
    double bpm = 0;          // the beat found, TempoLowest..TempoHighest; 0 where the curve is too short or silent
    double clarity = 0;      // normalised autocorrelation, -1..1
    double backbeat = 0;     // the snare band's score for this octave (positive: two beats is its period)
    double lead = 0;         // ... less the best other octave's
    double agreement = 0;    // 0..1
    bool steady = false;     // every test passed: sure enough to be shown
    int shown() const { return steady ? int(std::lround(bpm)) : 0; }   // whole beats per minute, 0: withheld
};

// --- Estimating
TempoEstimate estimateTempo(const OnsetCurve& curve);
// The same on the curve's tempo bands as plain arrays (TempoBandCount of them, one value per tempo
// frame, framesPerSecond of them a second): what the benchmarks and tests feed made curves to.
TempoEstimate estimateTempo(const std::vector<std::vector<float>>& bands, double framesPerSecond);
