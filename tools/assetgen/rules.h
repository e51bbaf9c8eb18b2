// What the show's spectrum spawner would do with a track: for each video frame at 60 fps, the
// 512-sample spectrum of the left channel ending at the play position, and whether the circle-grid
// (band 2), flash (band 4) and stroke (band 6) rules fire. Counted per time window, with and without
// the show's rate limits.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// --- The show's rules
constexpr double GridThreshold = 89, FlashThreshold = 22, StrokeThreshold = 50;   // of 256 x peak
constexpr double GridAfter = 18, StrokeAfter = 25.8;                              // music seconds
constexpr double GridGap = 1, FlashGap = 0.1, StrokeGap = 0.5;                    // seconds between spawns

struct RuleWindow {
    double from = 0, to = 0;                           // seconds
    int frames = 0;                                    // video frames in the window
    int gridFrames = 0, flashFrames = 0, strokeFrames = 0;  // frames whose condition holds
    int grids = 0, flashes = 0, strokes = 0;           // spawns once the rate limits apply
};

// --- Measuring
// left: mono samples at 44.1 kHz. edges: increasing times in seconds; window i is [edges[i], edges[i+1]).
std::vector<RuleWindow> measureRules(const float* left, size_t count, const std::vector<double>& edges,
                                     double fps = 60);
std::vector<double> evenEdges(double duration, double step);   // 0, step, 2 step, ..., duration
std::string formatRuleReport(const std::vector<RuleWindow>& windows);

// --- Cue accents
// For each cue time, the high-weighted loudness (RMS of the first difference of `left`) in the 30 ms
// after the cue over that in the 30 ms ending 5 ms before it: an accent lifts it above 1.
std::vector<double> cueOnsetRatios(const float* left, size_t count, const std::vector<double>& cueTimes);
