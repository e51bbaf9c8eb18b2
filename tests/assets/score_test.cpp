// The track's time grid and form against the show's cue table: the bars must line up with the run of
// one-bar cues, and the sections must leave the calm parts and the ending where the show expects them.
#include <gtest/gtest.h>

#include <cmath>

#include "timeline/cue_times.h"
#include "track.h"

namespace {

double distanceToBarLine(double t)
{
    const double bars = (t - barTime(0)) / BarSeconds;
    return std::fabs(bars - std::round(bars)) * BarSeconds;
}

}  // namespace

TEST(Score, BarLinesFallOnTheRunOfOneBarCues)
{
    // Cues 50 to 60 follow each other a bar apart; each must sit on a bar line, within a frame's jitter.
    for (int cue = 50; cue <= 60; ++cue) EXPECT_LT(distanceToBarLine(CueTimes[cue - 1]), 0.025) << "cue " << cue;
    EXPECT_NEAR(60.0 * 4 / BarSeconds, 187.0, 0.05) << "beats per minute";
}

TEST(Score, SectionsRunFromACalmIntroThroughTheCuesToASilentEnd)
{
    const std::vector<Section>& sections = trackSections();
    ASSERT_FALSE(sections.empty());
    EXPECT_EQ(sections.front().startBar, 0);
    for (size_t i = 1; i < sections.size(); ++i) EXPECT_EQ(sections[i].startBar, sections[i - 1].endBar) << sections[i].name;

    EXPECT_EQ(sections[0].kind, SectionKind::Intro);
    EXPECT_NEAR(barTime(sections[0].endBar), 18.0, 1.0) << "the intro stays calm to about 18 s";
    EXPECT_EQ(sections[1].kind, SectionKind::Build);
    EXPECT_GE(barTime(sections[1].endBar), CueTimes[0]) << "the build runs up to the first cue";
    EXPECT_LT(barTime(sections[1].endBar), 25.8) << "and the full beat starts before the strokes may";

    int breakdowns = 0;
    for (const Section& s : sections) breakdowns += s.kind == SectionKind::Breakdown;
    EXPECT_EQ(breakdowns, 1);

    const Section& last = sections.back();
    EXPECT_EQ(last.kind, SectionKind::Outro);
    EXPECT_GT(barTime(last.startBar), CueTimes[CueCount - 1]) << "the ending comes after the last cues";
    EXPECT_LE(barTime(last.endBar), SilenceFrom);
    EXPECT_LT(SilenceFrom, TrackSeconds);
    EXPECT_GE(TrackSeconds, 176.0);
    EXPECT_LE(TrackSeconds, 190.0);
}
