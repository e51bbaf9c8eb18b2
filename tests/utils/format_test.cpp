// formatString, the time grammar, the letterbox, the resolution rule, the texture library's lookup by
// file name, and the clock's seam: the pure pieces of utils.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "utils/draw.h"
#include "utils/format.h"
#include "utils/resolution.h"
#include "utils/texture_library.h"
#include "utils/time_text.h"
#include "utils/video.h"

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

TEST(Letterbox, LargestPictureOfTheShowsShapeCentred)
{
    struct Row {
        int outW, outH, x, y, w, h;
    };
    const Row rows[] = {
        {1024, 768, 0, 0, 1024, 768},     // the show's own size: the whole framebuffer
        {1920, 1080, 240, 0, 1440, 1080}, // bars left and right
        {3840, 2160, 480, 0, 2880, 2160},
        {1366, 768, 171, 0, 1024, 768},
        {1080, 1920, 0, 555, 1080, 810},  // a portrait screen: bars above and below
        {2048, 1536, 0, 0, 2048, 1536},
    };
    for (const Row& r : rows) {
        const PixelRect p = letterbox(r.outW, r.outH, 1024, 768);
        EXPECT_EQ(p.x, r.x) << r.outW << "x" << r.outH;
        EXPECT_EQ(p.y, r.y) << r.outW << "x" << r.outH;
        EXPECT_EQ(p.width, r.w) << r.outW << "x" << r.outH;
        EXPECT_EQ(p.height, r.h) << r.outW << "x" << r.outH;
    }
    EXPECT_EQ(discSegmentsAt(1.0f), 36) << "the show's own size keeps its 36-sided discs";
    EXPECT_EQ(discSegmentsAt(1.40625f), 72);
    EXPECT_EQ(discSegmentsAt(2.8125f), 108);
}

TEST(ResolutionRule, ScreenPixelsUnlessASoftwareRasteriserOrTheSettingSays)
{
    const char* hardware = "AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)";
    const char* software[] = {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer",
                              "ANGLE (Google, Vulkan 1.3.0 (SwiftShader Device (Subzero) (0x0000C0DE)), SwiftShader driver)"};
    EXPECT_TRUE(drawsAtScreenSize(ResolutionSetting::Auto, hardware));
    EXPECT_TRUE(drawsAtScreenSize(ResolutionSetting::Auto, nullptr)) << "a renderer that gives no name";
    for (const char* s : software) {
        EXPECT_FALSE(drawsAtScreenSize(ResolutionSetting::Auto, s)) << s;
        EXPECT_TRUE(drawsAtScreenSize(ResolutionSetting::Native, s)) << s;
    }
    EXPECT_FALSE(drawsAtScreenSize(ResolutionSetting::ShowSize, hardware));

    ResolutionSetting setting = ResolutionSetting::Native;
    EXPECT_TRUE(parseResolutionSetting(nullptr, setting));
    EXPECT_EQ(setting, ResolutionSetting::Auto);
    EXPECT_TRUE(parseResolutionSetting("1024x768", setting));
    EXPECT_EQ(setting, ResolutionSetting::ShowSize);
    for (const char* bad : {"Native", "1920x1080", "nativ", " native"}) EXPECT_FALSE(parseResolutionSetting(bad, setting)) << bad;
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

namespace {
uint32_t scriptedTicks = 0;
uint32_t scriptedTickSource() { return scriptedTicks; }
}  // namespace

TEST(Clock, DemoTimeFollowsTheTickSourceAndARestart)
{
    setTickSource(scriptedTickSource);
    scriptedTicks = 1500;
    EXPECT_EQ(demoTime(), 1.5f);
    scriptedTicks = 23223;
    EXPECT_EQ(demoTime(), 23.223f);
    setTickSource(nullptr);
    EXPECT_LT(demoTime(), 100.0f) << "back on SDL's ticks since start-up";
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    restartClock();
    EXPECT_LT(demoTime(), 0.02f) << "a show started again counts from its own start";
}
