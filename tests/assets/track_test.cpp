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
        track_ = new DecodedTrack;
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

    static DecodedTrack* track_;
    static std::vector<float> left_;
    static bool decoded_;
    static std::string error_;
};

DecodedTrack* ShowTrack::track_ = nullptr;
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

TEST_F(ShowTrack, SpectrumEffectsRestInTheCalmIntroAndBreakdown)
{
    const RuleWindow intro = rulesBetween(0, 18);
    EXPECT_LE(intro.flashes, 2) << "flashes in the calm intro";
    // From the second bar of the breakdown, once the echoes of the peak have died, to its build-up.
    const RuleWindow breakdown = rulesBetween(barTime(115), barTime(120));
    EXPECT_EQ(breakdown.grids + breakdown.flashes + breakdown.strokes, 0);
    const RuleWindow outro = rulesBetween(barTime(135), TrackSeconds);
    EXPECT_LE(outro.grids + outro.flashes + outro.strokes, 3);
}

TEST_F(ShowTrack, SpectrumEffectsFollowTheFullSections)
{
    for (const Section& s : trackSections()) {
        if (s.kind != SectionKind::Groove && s.kind != SectionKind::Lead && s.kind != SectionKind::Arp &&
            s.kind != SectionKind::Peak && s.kind != SectionKind::Finale)
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
