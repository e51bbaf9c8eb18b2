// The rule measurement that the generator's report and the track tests rely on: it must gate, limit
// and threshold the way the show's spawner does.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "rules.h"
#include "synth.h"

namespace {

// Sines on exact bins (no leakage): amplitude per bin index.
std::vector<float> tones(double seconds, std::vector<std::pair<int, double>> bins)
{
    std::vector<float> out(size_t(seconds * SampleRate));
    for (size_t i = 0; i < out.size(); ++i) {
        double v = 0;
        for (const auto& b : bins) v += b.second * std::sin(2 * M_PI * BinHz * b.first * double(i) / SampleRate);
        out[i] = float(v);
    }
    return out;
}

}  // namespace

TEST(RuleMeasure, SilenceFiresNothing)
{
    const std::vector<float> quiet(size_t(30 * SampleRate), 0.0f);
    const RuleWindow w = measureRules(quiet.data(), quiet.size(), {0, 30}).at(0);
    EXPECT_EQ(w.frames, 1800);
    EXPECT_EQ(w.gridFrames + w.flashFrames + w.strokeFrames, 0);
}

TEST(RuleMeasure, GridsWaitForEighteenSecondsThenComeOncePerSecond)
{
    const std::vector<float> s = tones(30, {{1, 0.5}, {2, 0.3}});   // band 2 at 0.6 of the peak
    const std::vector<RuleWindow> w = measureRules(s.data(), s.size(), {0, 18, 30});
    EXPECT_EQ(w[0].gridFrames, 0);
    EXPECT_EQ(w[1].gridFrames, 12 * 60 - 1) << "every frame after 18 s but the one at 18 s exactly";
    EXPECT_GE(w[1].grids, 11);
    EXPECT_LE(w[1].grids, 12);
    EXPECT_EQ(w[0].flashFrames + w[1].flashFrames, 0);
}

TEST(RuleMeasure, ThresholdsAreStrictFractionsOfThePeak)
{
    // Band 4 at 30/256 of the peak flashes; at 18/256 it does not. Band 6 at 60/256 strokes after 25.8 s.
    const std::vector<float> on = tones(30, {{1, 0.5}, {4, 0.5 * 30 / 256}, {6, 0.5 * 60 / 256}});
    const RuleWindow a = measureRules(on.data(), on.size(), {0, 30}).at(0);
    EXPECT_GT(a.flashFrames, 1700);
    EXPECT_EQ(a.strokeFrames, int((30 - 25.8) * 60));
    EXPECT_GE(a.flashes, 250) << "about one flash per 0.1 s";
    EXPECT_LE(a.flashes, 300);

    const std::vector<float> off = tones(30, {{1, 0.5}, {4, 0.5 * 18 / 256}, {6, 0.5 * 40 / 256}});
    const RuleWindow b = measureRules(off.data(), off.size(), {0, 30}).at(0);
    EXPECT_EQ(b.flashFrames + b.strokeFrames, 0);
}

TEST(RuleMeasure, CueOnsetRatioSeesAHitAndIgnoresASteadyTone)
{
    std::vector<float> s = tones(3, {{1, 0.3}});
    const size_t hit = size_t(1.5 * SampleRate);
    for (size_t i = hit; i < hit + 2000; ++i) s[i] += float(0.3 * std::exp(-double(i - hit) / 300.0) * ((i % 7) < 3 ? 1 : -1));
    const std::vector<double> r = cueOnsetRatios(s.data(), s.size(), {1.5, 2.5});
    EXPECT_GT(r[0], 3.0);
    EXPECT_NEAR(r[1], 1.0, 0.05);
}
