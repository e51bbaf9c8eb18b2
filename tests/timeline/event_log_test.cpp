// The event log's JSON pieces: numbers that read back as the very floats the show used.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "timeline/event_log.h"

TEST(EventLogText, NumbersReadBackAsTheSameFloat)
{
    for (float v : {0.0f, 2.0f, 0.7f, 23.223106f, 172.56192f, -35.272216796875f, 1e-7f, 123456789.0f}) {
        const std::string text = jsonNumber(v);
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), v) << text;
    }
    EXPECT_EQ(jsonNumber(0.7f), "0.7");
    EXPECT_EQ(jsonNumber(2.0f), "2");
    EXPECT_EQ(jsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
}
