// Cues: the built list, which cues a music time fires, their order and draws within one frame, the
// four final cues, and the silence after the last.
#include <cmath>

#include "composition_replay.h"
#include "timeline/cue_list.h"
#include "timeline/cue_times.h"
#include "timeline_fixture.h"

namespace {
// Replays the draws of cues fired together: per cue its randomInt(8), then its composition.
std::vector<int> replayCueTypes(int cues, size_t listLength)
{
    std::vector<int> types;
    for (int i = 0; i < cues; ++i) {
        const int type = int(randomInt(8));
        types.push_back(type);
        listLength += replayComposition(type, listLength).size();
    }
    return types;
}

class Cues : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        buildCueList();
    }
};
}  // namespace

TEST_F(Cues, BuiltListHolds105TimesInOrderWithoutDrawing)
{
    buildCueList(std::vector<float>());
    const uint32_t before = randomState();
    buildCueList();
    EXPECT_EQ(randomState(), before);
    ASSERT_EQ(CueList.size(), 105u);
    for (int i = 0; i < CueCount; ++i) EXPECT_EQ(CueList[size_t(i)], CueTimes[i]);
    for (size_t i = 1; i < CueList.size(); ++i) EXPECT_LE(CueList[i - 1], CueList[i]);
    EXPECT_EQ(CueList.front(), 23.223106f);
    EXPECT_EQ(CueList[49], 98.19488f);
    EXPECT_EQ(CueList[72], 123.106804f);
    for (size_t i = 101; i < 105; ++i) EXPECT_EQ(CueList[i], 172.56192f);
    EXPECT_LT(CueList[100], 172.56192f);
}

TEST_F(Cues, NothingFiresBeforeTheFirstCue)
{
    const uint32_t before = randomState();
    dispatchCues(std::nextafter(23.223106f, 0.0f), 2.0f);
    EXPECT_EQ(randomState(), before);
    EXPECT_TRUE(events.cues.empty());
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_EQ(CueList.size(), 105u);
}

TEST_F(Cues, TimeEqualToACueFiresIt)
{
    const uint32_t start = randomState();
    const std::vector<int> want = replayCueTypes(1, 0);
    const uint32_t after = randomState();
    setRandomState(start);

    dispatchCues(23.223106f, 2.0f);
    ASSERT_EQ(events.cues.size(), 1u);
    EXPECT_EQ(events.cues[0].cueIndex, 0);
    EXPECT_EQ(events.cues[0].cueTime, 23.223106f);
    EXPECT_EQ(events.cues[0].type, want[0]);
    EXPECT_EQ(events.cues[0].musicTime, 23.223106f);
    EXPECT_EQ(randomState(), after);
    EXPECT_EQ(ActiveFragments.size(), size_t(SpritesOfType[want[0]]));
    EXPECT_EQ(CueList.size(), 104u);
    EXPECT_EQ(CueList.front(), 24.181826f);
}

TEST_F(Cues, SeveralDueCuesFireInListOrderInOneFrameEachWithItsOwnType)
{
    const uint32_t start = randomState();
    const std::vector<int> want = replayCueTypes(5, 0);  // 23.2, 24.2, 25.8, 37.3, 39.9
    const uint32_t after = randomState();
    setRandomState(start);

    dispatchCues(40.0f, 2.0f);
    ASSERT_EQ(events.cues.size(), 5u);
    size_t sprites = 0;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events.cues[size_t(i)].cueIndex, i);
        EXPECT_EQ(events.cues[size_t(i)].cueTime, CueTimes[i]);
        EXPECT_EQ(events.cues[size_t(i)].type, want[size_t(i)]);
        sprites += size_t(SpritesOfType[want[size_t(i)]]);
    }
    EXPECT_EQ(randomState(), after);
    EXPECT_EQ(ActiveFragments.size(), sprites);
    EXPECT_EQ(CueList.size(), 100u);
    EXPECT_EQ(CueList.front(), 42.375347f);
    EXPECT_EQ(firedCueCount(), 5);
}

TEST_F(Cues, FourFinalCuesFireTogetherAndThenNothingEver)
{
    dispatchCues(172.0f, 2.0f);
    EXPECT_EQ(events.cues.size(), 101u);
    ActiveFragments.clear();
    events.cues.clear();

    const uint32_t start = randomState();
    const std::vector<int> want = replayCueTypes(4, 0);
    setRandomState(start);
    dispatchCues(172.56192f, 2.0f);
    ASSERT_EQ(events.cues.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(events.cues[i].cueIndex, int(101 + i));
        EXPECT_EQ(events.cues[i].cueTime, 172.56192f);
        EXPECT_EQ(events.cues[i].type, want[i]);
    }
    EXPECT_TRUE(CueList.empty());

    events.cues.clear();
    events.created.clear();
    const uint32_t before = randomState();
    for (float t : {172.57f, 180.0f, 1e9f}) dispatchCues(t, 2.0f);
    EXPECT_EQ(randomState(), before);
    EXPECT_TRUE(events.cues.empty());
    EXPECT_TRUE(events.created.empty());
}

TEST_F(Cues, UnorderedTimeFiresNothing)
{
    const uint32_t before = randomState();
    dispatchCues(std::nanf(""), 2.0f);
    EXPECT_EQ(randomState(), before);
    EXPECT_EQ(CueList.size(), 105u);
}

TEST_F(Cues, SpritesLiveTheLifetimeTheFrameGives)
{
    dispatchCues(30.0f, 2.0f);
    ASSERT_FALSE(events.texs.empty());
    for (const TexFrag& s : events.texs) EXPECT_EQ(s.lifetime, 2.0f);
}

TEST_F(Cues, EachFrameIsReportedFirstWithBothClocks)
{
    TestClockMs = 31250;
    dispatchCues(23.5f, 2.0f);
    TestClockMs = 31267;
    dispatchCues(23.6f, 2.0f);
    ASSERT_EQ(events.frames.size(), 2u);
    EXPECT_EQ(events.frames[0].musicTime, 23.5f);
    EXPECT_EQ(events.frames[0].demoTime, 31.25f);
    EXPECT_EQ(events.frames[1].demoTime, 31.267f);
    EXPECT_EQ(events.cues.size(), 1u);
}
