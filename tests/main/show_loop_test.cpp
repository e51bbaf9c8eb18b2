// The frame loop's end-of-show test and the closing screen, driven through a scripted host: music
// position, length and clock are whatever the test says.
#include <gtest/gtest.h>
#include <SDL_opengl.h>

#include <memory>
#include <vector>

#include "main/show.h"
#include "support/gl_context.h"
#include "timeline/active_fragments.h"
#include "utils/texture.h"
#include "utils/texture_library.h"
#include "utils/video.h"

namespace {
uint32_t ticks = 0;
uint32_t scriptedTicks() { return ticks; }

// Each frame advances the clock by frameMs; the music position follows a script, then stays put.
class ScriptedTestHost : public ShowHost {
public:
    std::vector<uint32_t> positions;  // per frame, top of frame
    uint32_t length = 1000;
    uint32_t frameMs = 16;
    int escapeAtFrame = -1;
    int frames = 0;
    int spectrumFetches = 0;

    void fetchSpectrum() override { ++spectrumFetches; }
    uint32_t musicPosition() override
    {
        if (positions.empty()) return length;
        return positions[size_t(std::min<int>(frames, int(positions.size()) - 1))];
    }
    uint32_t musicLength() override { return length; }
    void endFrame() override
    {
        ++frames;
        ticks += frameMs;
    }
    bool escapePressed() override { return frames == escapeAtFrame; }
};

// A fragment that only counts its draws.
class CountingFragment : public Fragment {
public:
    explicit CountingFragment(float lifetime, int* draws) : Fragment(lifetime), draws_(draws) {}
    void draw(float) override { ++*draws_; }

private:
    int* draws_;
};

class ShowLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        openTestDisplay();
        resetSceneState();
        ticks = 10000;
        setTickSource(scriptedTicks);
        ActiveFragments.clear();
    }
    void TearDown() override
    {
        setTickSource(nullptr);
        ActiveFragments.clear();
    }
};
}  // namespace

TEST_F(ShowLoopTest, RunsWhileTheMusicPlaysAndStopsWhenPositionReachesLength)
{
    ScriptedTestHost host;
    host.length = 1000;
    host.positions = {0, 400, 999, 1000};  // bottom read of frame 3 is 1000: equal counts as the end
    EXPECT_EQ(runFrameLoop(host), LoopExit::ShowOver);
    EXPECT_EQ(host.frames, 3);
    EXPECT_EQ(host.spectrumFetches, 3);
}

TEST_F(ShowLoopTest, OutlivesTheMusicUntilTheLastFragmentExpires)
{
    ScriptedTestHost host;
    host.positions = {host.length};
    int draws = 0;
    ActiveFragments.push_back(std::make_unique<CountingFragment>(0.5f, &draws));
    EXPECT_EQ(runFrameLoop(host), LoopExit::ShowOver);
    // Drawn on every frame whose clock lies in [start, start + 0.5]; the loop ends on the first
    // frame after that sweep finds the list empty.
    EXPECT_EQ(draws, 500 / 16 + 1);
    EXPECT_EQ(host.frames, draws + 1);
    EXPECT_TRUE(ActiveFragments.empty());
}

TEST_F(ShowLoopTest, EscapeLeavesAtTheEndOfThatFrame)
{
    ScriptedTestHost host;
    host.positions = {0, 100, 200, 300};
    host.length = 100000;
    host.escapeAtFrame = 2;
    EXPECT_EQ(runFrameLoop(host), LoopExit::Escape);
    EXPECT_EQ(host.frames, 2);
}

// The whole sequence, stepped as every driver steps it: the closing screen follows only a show that
// ran out, timed from the step that ended the frame loop, and an ended run draws nothing more.
TEST_F(ShowLoopTest, ClosingScreenFollowsOnlyAShowThatRanOutAndLastsTwoPointOneSeconds)
{
    struct Case {
        const char* name;
        int escapeAtFrame;
        int frames;     // frames drawn in all
        LoopExit exit;
        ShowRun::Phase lastDrawn;  // the phase of the last frame drawn
    };
    const Case cases[] = {
        // 4 playing frames, then closing frames at 0.0 .. 2.0 s; at exactly 2.1 s it is over.
        {"runs out, then 2.1 s closing", -1, 4 + 21, LoopExit::ShowOver, ShowRun::Phase::Closing},
        {"Escape while playing skips the closing", 2, 2, LoopExit::Escape, ShowRun::Phase::Playing},
        {"Escape in the closing screen", 6, 6, LoopExit::Escape, ShowRun::Phase::Closing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedTestHost host;
        host.frameMs = 100;
        host.positions = {0, 400, 800, 999, 1000};
        host.escapeAtFrame = c.escapeAtFrame;
        ShowRun run;
        ShowRun::Phase drawnIn = run.phase();
        int steps = 0;
        while (true) {
            const ShowRun::Phase before = run.phase();
            const int framesBefore = host.frames;
            if (!run.step(host)) break;
            if (host.frames > framesBefore) drawnIn = before;
            ASSERT_LT(++steps, 100);
        }
        EXPECT_EQ(run.phase(), ShowRun::Phase::Ended);
        EXPECT_EQ(run.exit(), c.exit);
        EXPECT_EQ(host.frames, c.frames);
        EXPECT_EQ(drawnIn, c.lastDrawn);
        EXPECT_FALSE(run.step(host));  // an ended run draws nothing more
        EXPECT_EQ(host.frames, c.frames);
    }
}

TEST_F(ShowLoopTest, RunShowAndRunFrameLoopStopWhereTheirPhasesEnd)
{
    ScriptedTestHost whole;
    whole.frameMs = 100;
    whole.positions = {0, 400, 800, 999, 1000};
    EXPECT_EQ(runShow(whole), LoopExit::ShowOver);
    EXPECT_EQ(whole.frames, 4 + 21);

    ScriptedTestHost loopOnly;
    loopOnly.frameMs = 100;
    loopOnly.positions = whole.positions;
    EXPECT_EQ(runFrameLoop(loopOnly), LoopExit::ShowOver);
    EXPECT_EQ(loopOnly.frames, 4) << "the frame loop alone draws no closing frame";
}

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

TEST_F(ShowLoopTest, ClosingFrameDrawsTheEndImageInTheLowerLeftSquare)
{
    Image image;
    image.width = 2;
    image.height = 2;
    image.channels = 3;
    image.pixels.assign(12, 200);
    EndTexture = uploadTexture(image);
    glColor4f(1, 0, 0, 1);
    drawClosingFrame(0.0f);  // opacity 0.9
    for (auto [x, y] : {std::pair{5, 5}, {256, 256}, {505, 505}}) {
        const Rgb p = readPixel(x, y);
        EXPECT_NEAR(p.r, 180, 2);
        EXPECT_NEAR(p.g, 180, 2);
    }
    EXPECT_EQ(readPixel(520, 100).r, 0);
    EXPECT_EQ(readPixel(100, 520).r, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}
