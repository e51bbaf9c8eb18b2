// The form measures the track is composed against: onsets must land on the hit, loudness steps and
// changes of colour must be found where they happen and nowhere else, and the effect log's pacing
// must count exactly the spawns the rate limit released.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "audio_form.h"
#include "effects.h"
#include "onsets.h"

namespace {

constexpr int Rate = 44100;

// Stereo, both channels alike.
struct Signal {
    std::vector<float> samples;
    explicit Signal(double seconds) : samples(size_t(seconds * Rate) * 2, 0.0f) {}
    AudioView view() const { return {samples.data(), samples.size() / 2, 2, Rate}; }
    void add(size_t frame, double v)
    {
        samples[2 * frame] += float(v);
        samples[2 * frame + 1] += float(v);
    }
};

// Noise in [from, to) seconds: white, or through a one-pole low-pass at `lowPassHz` (0: none).
void addNoise(Signal& s, double from, double to, double amplitude, uint32_t seed, double lowPassHz = 0)
{
    std::mt19937 random(seed);
    const double k = lowPassHz > 0 ? 1 - std::exp(-2 * M_PI * lowPassHz / Rate) : 1;
    double y = 0;
    for (size_t i = size_t(from * Rate); i < size_t(to * Rate); ++i) {
        const double white = double(random()) / 4294967296.0 * 2 - 1;
        y += k * (white - y);
        s.add(i, amplitude * y * (lowPassHz > 0 ? std::sqrt(Rate / (M_PI * lowPassHz)) : 1));
    }
}

std::vector<double> changesOf(const Signal& s)
{
    const AudioView a = s.view();
    return audibleMoments(measureChanges(measureLoudness(a), octaveFrames(a), a.seconds()));
}

}  // namespace

TEST(FormOnsets, ClicksAreFoundWithinTwoMilliseconds)
{
    // Loud and faint clicks, a single sample and a short burst, over a quiet noise floor.
    Signal s(4);
    addNoise(s, 0, 4, 0.005, 1);
    const std::vector<double> clicks = {0.5, 0.9731, 1.4402, 1.9, 2.3517, 2.8, 3.3093};
    for (size_t c = 0; c < clicks.size(); ++c) {
        const size_t at = size_t(std::lround(clicks[c] * Rate));
        const double amplitude = c % 2 ? 0.1 : 0.9;
        const int length = c % 3 == 2 ? 32 : 1;
        for (int i = 0; i < length; ++i) s.add(at + size_t(i), amplitude * (i % 2 ? -1 : 1) * std::exp(-i / 8.0));
    }
    const std::vector<double> onsets = detectOnsets(s.view());
    EXPECT_EQ(onsets.size(), clicks.size());
    const std::vector<double> distance = nearestOnsetDistances(onsets, clicks);
    for (size_t c = 0; c < clicks.size(); ++c) EXPECT_LE(distance[c], 0.002) << "click at " << clicks[c] << " s";
}

TEST(FormChanges, ALevelStepIsAnAudibleChangeThereAndASteadySignalHasNone)
{
    Signal steady(40);
    addNoise(steady, 0, 40, 0.1, 2);
    EXPECT_TRUE(changesOf(steady).empty());
    const Stretch all = longestUnchanged(changesOf(steady), 40);
    EXPECT_DOUBLE_EQ(all.length(), 40);

    // The same noise 6 dB louder from 20 s: 6 LU, heard only while the windows straddle the step.
    Signal step(40);
    addNoise(step, 0, 20, 0.1, 3);
    addNoise(step, 20, 40, 0.2, 4);
    const AudioView a = step.view();
    const ChangeCurve c = measureChanges(measureLoudness(a), octaveFrames(a), a.seconds());
    size_t strongest = 0;
    for (size_t i = 0; i < c.level.size(); ++i)
        if (c.level[i] > c.level[strongest]) strongest = i;
    EXPECT_NEAR(c.time(strongest), 20, 0.15);
    EXPECT_NEAR(c.level[strongest], 6, 0.2);
    EXPECT_LT(largestInside(c, {0, 40}).shape, 1.0) << "a louder copy has the same spectral shape";
    const std::vector<double> moments = audibleMoments(c);
    ASSERT_FALSE(moments.empty());
    EXPECT_GT(moments.front(), 20 - ChangeWindow);
    EXPECT_LT(moments.back(), 20 + ChangeWindow);
}

TEST(FormSections, ThreeDifferentBlocksGiveTwoBoundaries)
{
    // 40 s of deep rumble, 40 s of bright hiss, 40 s of a quieter mid chord.
    Signal s(120);
    addNoise(s, 0, 40, 0.2, 5, 150);
    addNoise(s, 40, 80, 0.05, 6);
    for (size_t i = size_t(80 * Rate); i < size_t(120 * Rate); ++i)
        for (double hz : {440.0, 554.4, 659.3}) s.add(i, 0.05 * std::sin(2 * M_PI * hz * double(i) / Rate));
    const AudioView a = s.view();
    const LoudnessCurves loudness = measureLoudness(a);
    const std::vector<double> boundaries =
        noveltyBoundaries(noveltyCurve(formFeatures(octaveFrames(a), loudness, a.seconds())));
    ASSERT_EQ(boundaries.size(), 2u);
    EXPECT_NEAR(boundaries[0], 40, 2);
    EXPECT_NEAR(boundaries[1], 80, 2);
}

TEST(FormEffects, RateLimitShareCountsOnlySpawnsWithinAFrameOfTheLimit)
{
    // Start times as the log writes them, in whole milliseconds at 60 frames/s.
    auto grid = [](double start) { return EffectSpawn{EffectKind::Grid, start, start, 2}; };
    const std::vector<EffectSpawn> spawns = {
        grid(20.0),
        grid(21.017),                                   // limit + 1 frame: released at once
        {EffectKind::Stroke, 21.5, 21.5, 5.4},          // another kind between does not break the pair
        grid(22.1),                                     // limit + 5 frames: something else held it back
        grid(23.134),                                   // limit + 2 frames
    };
    const LimitShare s = rateLimitShare(spawns, EffectKind::Grid, 60);
    EXPECT_EQ(s.spawns, 3);
    EXPECT_EQ(s.atLimit, 1);
}

TEST(FormEffects, NothingAliveMergesOverlappingLives)
{
    // Alive 10-16, 11-12 (inside the first) and 18-19: the screen is empty from 16 to 18, not from 12.
    const std::vector<EffectSpawn> spawns = {
        {EffectKind::Typography, 10, 10, 6}, {EffectKind::Spark, 11, 11, 1}, {EffectKind::Grid, 18, 18, 1}};
    const Gap gap = longestNothingAlive(spawns, 10, 20);
    EXPECT_DOUBLE_EQ(gap.from, 16);
    EXPECT_DOUBLE_EQ(gap.to, 18);
}
