// formatString, the time grammar, and the texture library's lookup by file name.
#include <gtest/gtest.h>

#include <string>

#include "utils/format.h"
#include "utils/texture_library.h"
#include "utils/time_text.h"

TEST(FormatString, NumberedFileNames)
{
    EXPECT_EQ(formatString("blend%02d.png", 7), "blend07.png");
    EXPECT_EQ(formatString("ec%d.png", 5), "ec5.png");
}

TEST(FormatString, TextsAroundAndPastTheFirstBufferAreWhole)
{
    for (size_t length : {98u, 99u, 100u, 101u, 250u, 5000u}) {
        const std::string text(length, 'x');
        EXPECT_EQ(formatString("%s", text.c_str()), text) << length;
        EXPECT_EQ(formatString("<%s>", text.c_str()), "<" + text + ">") << length;
    }
}

TEST(TimeText, SecondsOrMinutesAndNothingAround)
{
    double t = -1;
    EXPECT_TRUE(parseTime("12.5", t));
    EXPECT_EQ(t, 12.5);
    EXPECT_TRUE(parseTime("1:02.5", t));
    EXPECT_EQ(t, 62.5);
    EXPECT_TRUE(parseTime("3:00", t));
    EXPECT_EQ(t, 180.0);
    for (const char* bad : {"", "-1", "1:60", "1:-2", "a:10", "1:2:3", "1e999", "nan", ":5", " 12", "-0:30", "+5",
                            "1: 30", "12 "})
        EXPECT_FALSE(parseTime(bad, t)) << "'" << bad << "'";
}

namespace {
// A library filled by hand: the lookup needs no GL.
class FindTextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = TextureLibrary;
        TextureLibrary = {};
        for (int i = 0; i < LibraryTextureCount; ++i) {
            TextureLibrary.fileNames.emplace_back(LibraryFileNames[i]);
            TextureLibrary.textures.push_back(uint32_t(100 + i));
        }
    }
    void TearDown() override { TextureLibrary = saved_; }
    TextureTable saved_;
};
}  // namespace

TEST_F(FindTextureTest, FindsByExactFileName)
{
    EXPECT_EQ(findTexture("typo1.png"), 102u);  // the third texture loaded
    EXPECT_EQ(findTexture("l2.png"), 108u);     // the ninth
    EXPECT_EQ(findTexture("big-circle.png"), 100u);
}

TEST_F(FindTextureTest, NearMissesAreNotFound)
{
    for (const char* name : {"Typo1.png", "typo1", "typo1.png ", " typo1.png", "", "./typo1.png", "typo1.PNG"})
        EXPECT_EQ(findTexture(name), NoTexture) << '"' << name << '"';
}

TEST_F(FindTextureTest, FirstRegisteredEntryWins)
{
    TextureLibrary.fileNames.emplace_back("typo1.png");
    TextureLibrary.textures.push_back(999);
    EXPECT_EQ(findTexture("typo1.png"), 102u);
}
