// The instruments as the show's spectrum hears them: the tones meant for a watched band land on it,
// the ones meant to stay out of the way do, and the master chain never exceeds its ceiling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/analyser.h"
#include "mp3.h"
#include "support/temp_dir.h"
#include "synth.h"

namespace {

// The show's spectrum of the 512 left-channel samples ending at time t.
std::vector<float> spectrumAt(const Bus& b, double t)
{
    SpectrumAnalyser analyser;
    std::vector<float> block(AnalysisSize), out(AnalysisBins);
    const size_t end = size_t(t * SampleRate);
    for (int i = 0; i < AnalysisSize; ++i) block[size_t(i)] = b.l[end - AnalysisSize + size_t(i)];
    analyser.analyse(block.data(), out.data());
    return out;
}

int loudestLowBin(const std::vector<float>& s) { return int(std::max_element(s.begin(), s.begin() + 128) - s.begin()); }

}  // namespace

TEST(Instruments, SnareBodySitsOnBandTwoAndKickOnBandOne)
{
    Bus snareBus(SampleRate);
    snare(snareBus, 0.1, 1.0f);
    EXPECT_EQ(loudestLowBin(spectrumAt(snareBus, 0.14)), 2);

    Bus kickBus(SampleRate);
    kick(kickBus, 0.1, 1.0f);
    const std::vector<float> s = spectrumAt(kickBus, 0.2);
    EXPECT_EQ(loudestLowBin(s), 1);
    // Settled on a bin centre, the kick barely reaches the watched bands.
    EXPECT_LT(s[2] / s[1], 0.1f);
    EXPECT_LT(s[4] / s[1], 0.05f);
}

TEST(Instruments, TheF2DroneIsCleanAndOffBinNotesSmear)
{
    Bus pedal(SampleRate);
    drone(pedal, 0, 1, 41, 0.5f, 0.01, 0.01);
    const std::vector<float> s = spectrumAt(pedal, 0.5);
    EXPECT_NEAR(s[1], 0.5f, 0.01f);
    EXPECT_LT(s[2], 1e-3f);
    EXPECT_LT(s[4], 1e-3f);
    EXPECT_LT(s[6], 1e-3f);

    // The reason calm voicings avoid the watched bins: a note between bins spreads into its neighbours.
    Bus between(SampleRate);
    drone(between, 0, 1, 68, 0.5f, 0.01, 0.01);   // Ab4, about bin 4.76
    EXPECT_GT(spectrumAt(between, 0.5)[4] / 0.5f, 0.1f);
}

TEST(Instruments, CalmBellsStayClearOfTheWatchedBands)
{
    Bus b(2 * SampleRate);
    drone(b, 0, 2, 41, 0.3f, 0.01, 0.01);
    bell(b, 0.2, 84, 0.6f, 0);
    bell(b, 0.3, 89, 0.6f, 0);
    for (double t : {0.25, 0.4, 0.8}) {
        const std::vector<float> s = spectrumAt(b, t);
        const float peak = *std::max_element(s.begin(), s.begin() + 128);
        EXPECT_LT(s[4] / peak * 256, 22) << "would flash at " << t;
        EXPECT_LT(s[6] / peak * 256, 50) << "would stroke at " << t;
    }
}

TEST(Instruments, TheReeseOnF2MissesTheWatchedBandsAndAPingAnswersOnce)
{
    // Odd-symmetric, the reese puts its partials on bins 1, 3, 5 ...: under a long note nothing fires.
    Bus reese(2 * SampleRate);
    reeseNote(reese, 0.1, 1.5, 41, 0.5f, 1.0f, 0);
    for (double t : {0.3, 0.8, 1.4}) {
        const std::vector<float> s = spectrumAt(reese, t);
        const float peak = *std::max_element(s.begin(), s.begin() + 128);
        EXPECT_EQ(loudestLowBin(s), 1) << t;
        EXPECT_LT(s[2] / peak * 256, 89) << "would spawn a grid at " << t;
        EXPECT_LT(s[4] / peak * 256, 22) << "would flash at " << t;
        EXPECT_LT(s[6] / peak * 256, 50) << "would stroke at " << t;
    }

    // An F4 ping over the F2 sub leads band 4 past the spark threshold, and is under it again within
    // the sparks' 0.1 s spacing, so one ping brings one spark.
    Bus b(SampleRate);
    drone(b, 0, 1, 41, 0.3f, 0.01, 0.01);
    ping(b, 0.3, 65, 0.5f, 0);
    auto strength4 = [&](double t) {
        const std::vector<float> s = spectrumAt(b, t);
        return s[4] / *std::max_element(s.begin(), s.begin() + 128) * 256;
    };
    EXPECT_GT(strength4(0.3 + 0.012), 22);
    EXPECT_LT(strength4(0.3 + 0.1), 22);
}

TEST(MasterChain, TheLimiterHoldsItsCeilingAndLeavesQuietPartsAlone)
{
    Bus b(SampleRate);
    for (size_t i = 0; i < b.frames(); ++i) {
        const double t = double(i) / SampleRate;
        const float quiet = float(0.2 * std::sin(2 * M_PI * 220 * t));
        const float loud = float(1.8 * std::sin(2 * M_PI * 97 * t));
        b.l[i] = t < 0.3 ? quiet : loud;
        b.r[i] = t < 0.3 ? quiet : -loud;
    }
    const Bus original = b;
    limit(b, 0.6f, 0.1);
    float peak = 0;
    for (size_t i = 0; i < b.frames(); ++i) peak = std::max({peak, std::fabs(b.l[i]), std::fabs(b.r[i])});
    EXPECT_LE(peak, 0.6f + 1e-6f);
    EXPECT_GT(peak, 0.55f);
    for (size_t i = 0; i < size_t(0.25 * SampleRate); ++i) ASSERT_EQ(b.l[i], original.l[i]) << i;
}

TEST(Mp3, EncodingKeepsTheExactLengthThroughTheGaplessTag)
{
    Bus b(size_t(1.5 * SampleRate) + 123);
    for (size_t i = 0; i < b.frames(); ++i) b.l[i] = b.r[i] = float(0.5 * std::sin(2 * M_PI * 440 * double(i) / SampleRate));
    const std::vector<uint8_t> mp3 = encodeMp3(b);
    TempDir dir;
    writeFile(dir.file("t.mp3"), std::string(mp3.begin(), mp3.end()));
    DecodedMp3 decoded;
    std::string error;
    ASSERT_TRUE(decodeMp3(dir.file("t.mp3"), decoded, error)) << error;
    EXPECT_EQ(decoded.rate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.frames(), b.frames());
    // Aligned to the sample: the decoded sine matches the source closely.
    double err = 0;
    for (size_t i = 1000; i < b.frames() - 1000; ++i) err = std::max(err, double(std::fabs(decoded.samples[2 * i] - b.l[i])));
    EXPECT_LT(err, 0.05);
    EXPECT_EQ(encodeMp3(b), mp3) << "the encoder is deterministic";
}
