// The cue finder on made tracks: clicks at known times are the cues, a steady tone and a slow fade
// give none, however the samples are sliced the curve is the same, a busy track gets the built-in
// list's density with no crowd, a quiet passage fewer cues than a loud one, and silence is refused.
// The live finder, fed the same sound as a server hands it over, finds the same clicks and keeps its
// memory flat however long it listens.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "audio/cue_finder.h"
#include "audio/listener_track.h"
#include "audio/live_cues.h"
#include "audio/music_errors.h"

namespace {
constexpr int Rate = 44100;

// Interleaved stereo: faint noise, and at each click an impulse with a 1.2 kHz ring dying in 30 ms.
struct MadeTrack {
    std::vector<float> stereo;
    explicit MadeTrack(double seconds, float noise = 0.005f) : stereo(size_t(seconds * Rate) * 2)
    {
        std::mt19937 g(5);
        std::uniform_real_distribution<float> d(-noise, noise);
        for (float& s : stereo) s = d(g);
    }
    void click(double at, float amplitude)
    {
        const size_t first = size_t(std::lround(at * Rate));
        for (size_t i = 0; i < size_t(0.03 * Rate) && first + i < frames(); ++i) {
            const double t = double(i) / Rate;
            const float v = float(amplitude * std::exp(-t / 0.008) * (i == 0 ? 1.0 : std::sin(2 * M_PI * 1200 * t)));
            stereo[2 * (first + i)] += v;
            stereo[2 * (first + i) + 1] += v;
        }
    }
    void tone(double hz, const std::function<double(double)>& amplitudeAt)
    {
        for (size_t f = 0; f < frames(); ++f) {
            const double t = double(f) / Rate;
            const float v = float(amplitudeAt(t) * std::sin(2 * M_PI * hz * t));
            stereo[2 * f] += v;
            stereo[2 * f + 1] += v;
        }
    }
    size_t frames() const { return stereo.size() / 2; }
    std::vector<float> cues(size_t slice = 0) const
    {
        OnsetCurve curve;
        if (slice == 0) slice = frames();
        for (size_t at = 0; at < frames(); at += slice) curve.add(stereo.data() + 2 * at, std::min(slice, frames() - at));
        std::vector<float> out;
        EXPECT_EQ(cuesOfCurve(curve, out), MusicOk);
        return out;
    }
    // Heard live, slice frames at a time (441: a sound server's 10 ms fragments).
    std::vector<float> liveCues(size_t slice = 441) const
    {
        LiveCueFinder finder;
        std::vector<float> out;
        for (size_t at = 0; at < frames(); at += slice) {
            finder.add(stereo.data() + 2 * at, std::min(slice, frames() - at));
            for (float t : finder.takeCues()) out.push_back(t);
        }
        return out;
    }
};
}  // namespace

TEST(CueFinder, ClicksAtKnownTimesAreTheCues)
{
    MadeTrack track(20);
    const double times[] = {1.1, 2.35, 4.0, 5.2, 7.77, 9.0, 11.5, 13.25, 16.0, 18.9};
    const float loudness[] = {0.9f, 0.3f, 0.6f, 0.45f, 0.8f, 0.35f, 0.7f, 0.5f, 0.4f, 0.85f};
    for (size_t i = 0; i < 10; ++i) track.click(times[i], loudness[i]);
    const std::vector<float> cues = track.cues();
    ASSERT_EQ(cues.size(), 10u) << "room for round(20 x 105 / 186) = 11";
    for (size_t i = 0; i < 10; ++i) EXPECT_NEAR(cues[i], times[i], 0.002) << "click " << i;
    for (size_t slice : {size_t(441), size_t(128), size_t(4096)}) {
        const std::vector<float> live = track.liveCues(slice);
        ASSERT_EQ(live.size(), 10u) << "heard live in slices of " << slice;
        for (size_t i = 0; i < 10; ++i) EXPECT_NEAR(live[i], times[i], 0.002) << "click " << i << " heard live";
    }
}

TEST(CueFinder, SteadyToneAndSlowFadeHaveNoOnsetAndSlicingChangesNothing)
{
    MadeTrack steady(10);
    steady.tone(440, [](double) { return 0.5; });
    EXPECT_TRUE(steady.cues().empty());
    EXPECT_TRUE(steady.liveCues().empty());
    MadeTrack fade(12);
    fade.tone(880, [](double t) { return t < 6 ? 0.8 * t / 6 : 0.8 * (12 - t) / 6; });
    EXPECT_TRUE(fade.cues().empty());
    EXPECT_TRUE(fade.liveCues().empty());

    // The page reads 4096 frames at a time, the desktop 65536: the same cues either way.
    MadeTrack clicks(8);
    for (int i = 1; i < 8; ++i) clicks.click(i + 0.013 * i, 0.2f + 0.1f * float(i));
    const std::vector<float> whole = clicks.cues();
    ASSERT_EQ(whole.size(), 5u) << "round(8 x 105 / 186)";
    for (size_t slice : {size_t(1), size_t(4096), size_t(65536), size_t(777)}) EXPECT_EQ(clicks.cues(slice), whole) << slice;
}

TEST(CueFinder, BusyTrackGetsTheBuiltInDensityAndQuietPassagesFewer)
{
    // 60 s, a click every 0.25 s: 20 s quiet (-24 dB), then 40 s loud with their strengths varied.
    MadeTrack track(60);
    for (int i = 1; i < 240; ++i) {
        const double t = 0.25 * i;
        track.click(t, (t < 20 ? 0.05f : 0.8f) * (0.6f + 0.4f * float((i * 7) % 5) / 4));
    }
    const std::vector<float> cues = track.cues();
    ASSERT_EQ(cues.size(), size_t(std::lround(60 * CuesPerSecond)));
    int quiet = 0;
    for (size_t i = 0; i < cues.size(); ++i) {
        quiet += cues[i] < 20;
        if (i > 0) {
            EXPECT_GE(cues[i] - cues[i - 1], CueMinGap);
        }
        int around = 0;
        for (float other : cues) around += std::fabs(other - cues[i]) <= CueCrowdSpan;
        EXPECT_LT(around - 1, CueCrowdMax) << "no crowd around " << cues[i];
    }
    EXPECT_LT(quiet, int(cues.size()) / 4) << "a third of the track, well under a quarter of the cues";
}

TEST(CueFinder, SilenceIsRefusedAndAQuietSoundIsNot)
{
    OnsetCurve silent;
    const std::vector<float> zeros(2 * Rate * 3, 0.0f);
    silent.add(zeros.data(), zeros.size() / 2);
    std::vector<float> cues{1.0f};
    EXPECT_EQ(cuesOfCurve(silent, cues), TrackSilent);
    EXPECT_TRUE(cues.empty());
    MadeTrack faint(3, 0.0f);
    faint.tone(440, [](double) { return 0.002; });   // -54 dBFS
    OnsetCurve quiet;
    quiet.add(faint.stereo.data(), faint.frames());
    EXPECT_EQ(cuesOfCurve(quiet, cues), MusicOk);
}

// Listening for hours: a busy minute, then silence, then the minute again; the finder holds no more
// after three minutes than after one, rests in the silence and answers the music when it is back.
TEST(LiveCueFinder, MemoryStaysFlatAndSilenceRests)
{
    MadeTrack busy(60);
    std::mt19937 g(11);
    std::uniform_real_distribution<float> loudness(0.2f, 0.8f);
    for (int i = 1; i < 240; ++i) busy.click(0.25 * i, loudness(g));
    const std::vector<float> silence(2 * 60 * Rate, 0.0f);
    LiveCueFinder finder;
    std::vector<float> cues;
    size_t keptAfterAMinute = 0;
    const std::vector<float>* parts[] = {&busy.stereo, &silence, &busy.stereo};
    for (const std::vector<float>* part : parts) {
        for (size_t at = 0; at < part->size() / 2; at += 441) {
            finder.add(part->data() + 2 * at, std::min<size_t>(441, part->size() / 2 - at));
            for (float t : finder.takeCues()) cues.push_back(t);
        }
        if (keptAfterAMinute == 0) keptAfterAMinute = finder.keptValues();
    }
    EXPECT_LE(finder.keptValues(), keptAfterAMinute + 64);
    int first = 0, silent = 0, again = 0;
    for (float t : cues) (t < 60 ? first : t < 120 ? silent : again) += 1;
    EXPECT_NEAR(first, 60 * CuesPerSecond, 8) << "the built-in list's density";
    EXPECT_EQ(silent, 0);
    EXPECT_NEAR(again, first, 4);
}
