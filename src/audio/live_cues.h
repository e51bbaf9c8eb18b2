// Cues found in sound as it arrives, for a show that listens live: the same onset curve as a
// listener's track, each onset decided a peak span after it (30 ms), its strength weighed against
// what the last minute sounded like, and kept at about the built-in list's density by a threshold
// that follows the last half minute's onsets. Gap and crowd rules look at the past only. Pure and
// deterministic, with bounded memory however long it listens.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "audio/cue_finder.h"

// --- Settings (seconds)
constexpr double LiveCueLookAhead = CuePeakSpan;   // an onset is sure once this much sound follows it
constexpr double LiveLoudMemory = 60;              // the loud level: what 90 % of this long's moments stay under
constexpr double LiveRankMemory = 10;              // a cue's strength ranks among the onsets of this long (bench/README.md)

class LiveCueFinder {
public:
    // --- Listening (interleaved stereo at 44.1 kHz, in order, in any slices)
    void add(const float* stereo, size_t frames);
    std::vector<float> takeCues();     // seconds since the first sample, increasing; each cue once

    // --- State
    uint64_t frames() const { return curve_.frames(); }   // frames heard so far
    size_t keptValues() const;   // hops, levels and onsets held: bounded, for the long-run test

private:
    void decide(size_t hop);   // the onset question for a hop once LiveCueLookAhead has followed it
    float at(const std::deque<float>& values, size_t hop) const { return values[hop - first_]; }
    double meanOf(const std::deque<float>& values, size_t from, size_t to) const;   // hops [from, to], clamped

    struct Ranked {
        double time;
        float strength;
    };
    OnsetCurve curve_;
    std::deque<float> flux_, energy_;   // hops first_ onwards, the last few seconds
    size_t first_ = 0;
    size_t lastOnset_ = 0;
    bool anyOnset_ = false;
    std::deque<float> levels_;          // the level every 0.1 s, over LiveLoudMemory
    std::deque<Ranked> onsets_;         // over LiveRankMemory
    std::deque<double> cues_;           // chosen over the crowd span
    std::vector<float> fresh_;          // chosen since the last takeCues
};
