// The committed track as the show will play it: decoded with libmpg123 (as the player does), the right
// format and length, headroom above the decoder's clipping point, silence at the end, and a spectrum
// that makes the show's effects follow the music: resting in the calm parts, firing in the full ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "mp3.h"
#include "rules.h"
#include "timeline/cue_times.h"
#include "track.h"

namespace {

class ShowTrack : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        track_ = new DecodedMp3;
        std::string error;
        decoded_ = decodeMp3(std::string(SHOW_DATA_DIR) + "/bass_300808.mp3", *track_, error);
        error_ = error;
        left_.clear();
        for (size_t i = 0; i < track_->frames(); ++i) left_.push_back(track_->samples[i * size_t(track_->channels)]);
    }
    static void TearDownTestSuite() { delete track_; }

    void SetUp() override { ASSERT_TRUE(decoded_) << error_; }

    static RuleWindow rulesBetween(double from, double to)
    {
        return measureRules(left_.data(), left_.size(), {from, to}).at(0);
    }

    static DecodedMp3* track_;
    static std::vector<float> left_;
    static bool decoded_;
    static std::string error_;
};

DecodedMp3* ShowTrack::track_ = nullptr;
std::vector<float> ShowTrack::left_;
bool ShowTrack::decoded_ = false;
std::string ShowTrack::error_;

}  // namespace

TEST_F(ShowTrack, IsStereoAt44100HzAndLastsThreeMinutes)
{
    EXPECT_EQ(track_->rate, 44100);
    EXPECT_EQ(track_->channels, 2);
    const double seconds = double(track_->frames()) / 44100;
    EXPECT_GE(seconds, 176.0);
    EXPECT_LE(seconds, 190.0);
    // The encoder's gapless tag lets the decoder drop its padding: exactly the synthesized length.
    EXPECT_EQ(track_->frames(), size_t(std::llround(TrackSeconds * 44100)));
}

TEST_F(ShowTrack, PeaksStayAtOrBelowMinusOneDbfsAndTheEndIsSilent)
{
    float peak = 0;
    for (float v : track_->samples) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(20 * std::log10(peak), -1.0);
    EXPECT_GT(20 * std::log10(peak), -9.0) << "the track should still be played loud";

    float tail = 0;
    const size_t lastTwoSeconds = size_t(2 * 44100) * size_t(track_->channels);
    for (size_t i = track_->samples.size() - lastTwoSeconds; i < track_->samples.size(); ++i)
        tail = std::max(tail, std::fabs(track_->samples[i]));
    EXPECT_LT(tail, 0.001f) << "the last two seconds must be silent (-60 dBFS)";
}

TEST_F(ShowTrack, TheOpeningSparksSparinglyAndTheBreaksRest)
{
    // The show lives from the first bar: the ping motif brings sparks at once, a few a second, each
    // answered once rather than held.
    EXPECT_GE(rulesBetween(0, 2).flashes, 1) << "a spark in the first two seconds";
    const RuleWindow intro = rulesBetween(0, 18);
    EXPECT_GE(intro.flashes, 9);
    EXPECT_LE(intro.flashes, 36) << "at most two sparks a second";
    EXPECT_LE(intro.flashFrames, 4 * intro.flashes) << "a spark's band stays up for a few frames, not seconds";

    // The breakdown before its lift and the bridge after its accent: nothing fires at all.
    const RuleWindow breakdown = rulesBetween(barTime(117), barTime(120.5));
    EXPECT_EQ(breakdown.grids + breakdown.flashes + breakdown.strokes, 0);
    const RuleWindow bridge = rulesBetween(barTime(73.5), barTime(75.5));
    EXPECT_EQ(bridge.grids + bridge.flashes + bridge.strokes, 0);
    const RuleWindow outro = rulesBetween(barTime(135), TrackSeconds);
    EXPECT_LE(outro.grids + outro.flashes + outro.strokes, 0.5 * (outro.to - outro.from));
}

TEST_F(ShowTrack, SpectrumEffectsFollowTheFullSectionsAndTheDropIsCalmer)
{
    double calmestFull = 1e9;
    for (const Section& s : trackSections()) {
        if (s.kind != SectionKind::Groove && s.kind != SectionKind::Arp && s.kind != SectionKind::Peak &&
            s.kind != SectionKind::Finale)
            continue;
        SCOPED_TRACE(s.name);
        const RuleWindow w = rulesBetween(barTime(s.startBar), barTime(s.endBar));
        const double seconds = w.to - w.from;
        EXPECT_GE(w.grids / seconds, 0.5) << "circle grids per second";
        EXPECT_GE(w.flashes / seconds, 2.0) << "flashes per second";
        EXPECT_GE(w.strokes / seconds, 0.5) << "strokes per second";
        // Following the hits means the conditions are off between them, not held all the time.
        EXPECT_LT(w.gridFrames, w.frames * 6 / 10);
        EXPECT_LT(w.flashFrames, w.frames * 6 / 10);
        EXPECT_LT(w.strokeFrames, w.frames * 6 / 10);
        calmestFull = std::min(calmestFull, (w.grids + w.flashes + w.strokes) / seconds);
    }
    // The half-time drop is heavy to hear and sparse to see: one grid a snare, a spark a kick, a
    // stroke for some notes of its call.
    for (const Section& s : trackSections()) {
        if (s.kind != SectionKind::HalfTime) continue;
        const RuleWindow w = rulesBetween(barTime(s.startBar), barTime(s.endBar));
        EXPECT_LE((w.grids + w.flashes + w.strokes) / (w.to - w.from), 0.6 * calmestFull) << s.name;
        EXPECT_GE(w.strokes, 1) << "strokes join once their gate opens";
    }
}

TEST_F(ShowTrack, EveryCueLandsOnAnAudibleAccent)
{
    // Cues that follow another within half a second land on its still-ringing hit; the rest must each
    // lift the high-weighted loudness above what came just before.
    std::vector<double> cues;
    double previous = -100;
    for (float t : CueTimes) {
        if (double(t) - previous >= 0.5) cues.push_back(t);
        previous = t;
    }
    ASSERT_GT(cues.size(), 80u);
    const std::vector<double> ratios = cueOnsetRatios(left_.data(), left_.size(), cues);
    for (size_t i = 0; i < cues.size(); ++i) EXPECT_GT(ratios[i], 1.2) << "cue at " << cues[i] << " s";
}
