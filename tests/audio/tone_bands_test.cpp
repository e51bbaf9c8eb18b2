// The show's spectrum definition on decoded tracks: tones land on their entries, only the first
// channel counts, the scale reads 1.0 for a full-scale sine on a bin, and the end is silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/music_errors.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"

namespace {
int peakEntry(const float* bins)
{
    return int(std::max_element(bins, bins + 128) - bins);
}

float largest(const float* bins)
{
    return *std::max_element(bins, bins + AnalysisBins);
}
}  // namespace

TEST(SpectrumAnalyser, FullScaleSineOnABinReadsOne)
{
    SpectrumAnalyser analyser;
    float samples[AnalysisSize], bins[AnalysisBins];
    for (int bin : {2, 4, 37, 200}) {
        for (int i = 0; i < AnalysisSize; ++i) samples[i] = float(std::sin(2 * M_PI * bin * i / AnalysisSize));
        analyser.analyse(samples, bins);
        EXPECT_NEAR(bins[bin], 1.0f, 1e-4) << bin;
        bins[bin] = 0;
        EXPECT_LT(largest(bins), 1e-4) << "a sine on a bin leaks nowhere under a rectangular window";
    }
}

class TrackSpectrumTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lameMissing(), ""); }
    DecodedTrack decode(const Tone& tone)
    {
        DecodedTrack decoded;
        EXPECT_EQ(decodeTrack(makeToneMp3(dir.path(), "t.mp3", tone).c_str(), decoded), MusicOk);
        return decoded;
    }
    TempDir dir;
    SpectrumAnalyser analyser;
    float bins[AnalysisBins];
};

TEST_F(TrackSpectrumTest, TonesPeakAtTheirEntries)
{
    Tone low;
    low.seconds = 3;
    low.leftHz = low.rightHz = 172;
    Tone high = low;
    high.leftHz = high.rightHz = 345;
    const struct {
        Tone tone;
        int entry;
    } cases[] = {{low, 2}, {high, 4}};
    for (const auto& c : cases) {
        const DecodedTrack track = decode(c.tone);
        for (uint32_t ms : {100u, 1000u, 2900u}) {
            spectrumAt(track, ms, analyser, bins);
            EXPECT_EQ(peakEntry(bins), c.entry) << c.tone.leftHz << " Hz at " << ms << " ms";
            EXPECT_GT(bins[c.entry], 0.3f) << "a half-scale tone between bins still reads well above noise";
        }
    }
}

TEST_F(TrackSpectrumTest, ToneOnlyOnTheSecondChannelDoesNotShow)
{
    Tone right;
    right.seconds = 2;
    right.leftHz = 0;
    right.rightHz = 345;
    const DecodedTrack track = decode(right);
    for (uint32_t ms : {500u, 1500u}) {
        spectrumAt(track, ms, analyser, bins);
        EXPECT_LT(largest(bins), 0.01f) << ms << " ms";
    }
}

TEST_F(TrackSpectrumTest, SilentBeforeTheFirstSampleAndFromTheEndOn)
{
    Tone tone;
    tone.seconds = 2;
    const DecodedTrack track = decode(tone);
    spectrumAt(track, 0, analyser, bins);
    EXPECT_EQ(largest(bins), 0.0f) << "nothing has played at 0 ms";
    spectrumAt(track, track.lengthMs() - 1, analyser, bins);
    EXPECT_GT(largest(bins), 0.3f) << "the last millisecond still plays";
    for (uint64_t frame : {track.frames(), track.frames() + 1, track.frames() + 100000}) {
        spectrumAtFrame(track, frame, analyser, bins);
        EXPECT_EQ(largest(bins), 0.0f) << "frame " << frame;
    }
    spectrumAt(track, track.lengthMs() + 5000, analyser, bins);
    EXPECT_EQ(largest(bins), 0.0f);
}
