// The tempo on made drum patterns of known tempo: right and shown for each pattern, 170-180 BPM
// included, where half the tempo tempts; a half-time beat reads at its tempo or its half, nothing
// else; a beat that drifts, a beatless sound and silence are withheld.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "audio/cue_finder.h"
#include "audio/tempo.h"
#include "support/drum_pattern.h"

namespace {
TempoEstimate tempoOf(const std::vector<float>& stereo)
{
    OnsetCurve curve;
    curve.add(stereo.data(), stereo.size() / 2);
    return estimateTempo(curve);
}

const DrumPattern& pattern(const std::string& name)
{
    for (const DrumPattern& p : DrumPatterns)
        if (name == p.name) return p;
    throw std::runtime_error("no pattern " + name);
}
}  // namespace

TEST(Tempo, MadePatternsReadAtTheirTempo)
{
    struct Case {
        const char* pattern;
        double bpm;
    };
    const Case cases[] = {
        {"two-step", 174}, {"two-step", 178}, {"break", 172}, {"hip hop", 90},
        {"rock", 100},     {"four on the floor", 128},        {"four on the floor", 187},
    };
    for (const Case& c : cases) {
        const TempoEstimate e = tempoOf(playDrumPattern(pattern(c.pattern), c.bpm, 30, 7));
        EXPECT_TRUE(e.steady) << c.pattern << " at " << c.bpm << ": clarity " << e.clarity << ", backbeat "
                              << e.backbeat << ", lead " << e.lead << ", agreement " << e.agreement;
        EXPECT_EQ(e.shown(), int(c.bpm)) << c.pattern << " read at " << e.bpm;
    }
    // A snare once a bar is a half-time feel: its tempo or its half, never a third tempo.
    const TempoEstimate half = tempoOf(playDrumPattern(pattern("half time"), 150, 30, 7));
    EXPECT_TRUE(std::lround(half.bpm) == 150 || std::lround(half.bpm) == 75) << half.bpm;
}

TEST(Tempo, WithheldWithoutASteadyBeat)
{
    EXPECT_FALSE(tempoOf(playDrumPattern(pattern("rock"), 100, 40, 7, 135)).steady) << "a beat from 100 to 135 BPM";

    std::vector<float> noise(size_t(30 * 44100) * 2);
    std::mt19937 g(3);
    std::normal_distribution<float> d(0, 0.2f);
    for (float& s : noise) s = d(g);
    EXPECT_FALSE(tempoOf(noise).steady) << "noise";

    const TempoEstimate silence = tempoOf(std::vector<float>(size_t(30 * 44100) * 2, 0.0f));
    EXPECT_FALSE(silence.steady);
    EXPECT_EQ(silence.bpm, 0);
    EXPECT_FALSE(tempoOf(playDrumPattern(pattern("rock"), 100, 8, 7)).steady) << "too short to be sure";
}
