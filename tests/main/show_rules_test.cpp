// The show loop's pure rules: the closing screen's pulse.
#include <gtest/gtest.h>

#include <algorithm>

#include "main/show.h"

TEST(ClosingOpacity, PulsesBetweenPointEightAndOne)
{
    float lowest = 1, highest = 0;
    for (int ms = 0; ms < 200000; ms += 7) {
        const float a = closingOpacity(float(ms) / 1000.0f);
        lowest = std::min(lowest, a);
        highest = std::max(highest, a);
    }
    EXPECT_GE(lowest, 0.8f);
    EXPECT_LT(lowest, 0.801f);
    EXPECT_LE(highest, 1.0f);
    EXPECT_GT(highest, 0.999f);
    EXPECT_FLOAT_EQ(closingOpacity(0), 0.9f);
}
