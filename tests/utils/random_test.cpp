// The shared generator: reference vectors from the seeded state and the exact number of steps each
// draw consumes, which every caller's draw order depends on.
#include <gtest/gtest.h>

#include "utils/random.h"

namespace {
uint32_t stateAfterSteps(uint32_t state, int steps)
{
    for (int i = 0; i < steps; ++i) state = state * 1664525u + 1013904223u;
    return state;
}

class RandomTest : public ::testing::Test {
protected:
    void SetUp() override { seedRandom(); }
};
}  // namespace

TEST_F(RandomTest, SeedingGivesTheReferenceStateOnEveryRun)
{
    EXPECT_EQ(randomState(), SeededRandomState);
    EXPECT_EQ(randomState(), 1082149748u);
    setRandomState(0);
    EXPECT_EQ(nextRandom(), 1013904223u);
}

TEST_F(RandomTest, ReferenceVectorsFromTheSeededState)
{
    EXPECT_EQ(randomInt(8), 3u);
    EXPECT_EQ(randomState(), 4283891779u);

    seedRandom();
    EXPECT_EQ(random01(), 0.4118194580078125f);  // 26989 / 65536
    EXPECT_EQ(randomState(), 796879213u);

    seedRandom();
    EXPECT_EQ(randomRange(-200, 200), -35.272216796875f);
}

TEST_F(RandomTest, StepCountsOfEveryDraw)
{
    struct Case {
        const char* draw;
        void (*call)();
        int steps;
    };
    const Case cases[] = {
        {"randomInt(1)",         [] { EXPECT_EQ(randomInt(1), 0u); },            1},
        {"random01()",           [] { random01(); },                             3},
        {"randomFloat(0)",       [] { EXPECT_EQ(randomFloat(0), 0.0f); },        2},
        {"randomFloat(5)",       [] { randomFloat(5); },                         3},
        {"randomRange(3, 3)",    [] { EXPECT_EQ(randomRange(3, 3), 3.0f); },     2},
        {"randomRange(1, 1.1)",  [] { randomRange(1, 1.1f); },                   3},
    };
    for (const Case& c : cases) {
        seedRandom();
        c.call();
        EXPECT_EQ(randomState(), stateAfterSteps(SeededRandomState, c.steps)) << c.draw;
    }
}

TEST_F(RandomTest, FractionUsesTheLowSixteenBitsAndNeverReachesOne)
{
    // A state whose low 16 bits are all ones after three steps gives the largest fraction.
    uint32_t s = 0;
    while ((stateAfterSteps(s, 3) & 0xFFFFu) != 0xFFFFu) ++s;
    setRandomState(s);
    EXPECT_EQ(randomFloat(1), 65535.0f / 65536.0f);
    setRandomState(s);
    EXPECT_LT(randomFloat(-7), 0.0f);
    setRandomState(s);
    EXPECT_NE(randomFloat(3), 3.0f);
    setRandomState(s);
    EXPECT_LT(randomRange(10, 20), 20.0f);
    setRandomState(s);
    const float reversed = randomRange(20, 10);
    EXPECT_GT(reversed, 10.0f);
    EXPECT_LE(reversed, 20.0f);
}

TEST_F(RandomTest, RandomIntUsesTheWholeState)
{
    for (int i = 0; i < 100; ++i) {
        const uint32_t before = randomState();
        const uint32_t expected = stateAfterSteps(before, 1) % 1000u;
        EXPECT_EQ(randomInt(1000), expected);
    }
}
