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

    size_t first = 0;
    while (first < sections.size() && sections[first].kind == SectionKind::Intro) ++first;
    ASSERT_GT(first, 0u);
    ASSERT_LT(first + 1, sections.size());
    EXPECT_NEAR(barTime(sections[first].startBar), 18.0, 1.0) << "the intro, with no beat, runs to about 18 s";
    EXPECT_EQ(sections[first].kind, SectionKind::Build);
    EXPECT_NEAR(barTime(sections[first].endBar), CueTimes[0], 0.01) << "the build runs up to the first cue";
    EXPECT_EQ(sections[first + 1].kind, SectionKind::HalfTime) << "which lands as the drop";

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

TEST(Score, SectionsThatStartBetweenBarLinesStartOnACue)
{
    // The drop, the breakdown and the finale open on the cue that changes the cue list's pace.
    int onCues = 0;
    for (const Section& s : trackSections()) {
        if (s.startBar == std::floor(s.startBar)) continue;
        SCOPED_TRACE(s.name);
        double nearest = 1e9;
        for (float cue : CueTimes) nearest = std::min(nearest, std::fabs(double(cue) - barTime(s.startBar)));
        EXPECT_LT(nearest, 0.01) << "seconds from the nearest cue";
        ++onCues;
    }
    EXPECT_GE(onCues, 3);
}
