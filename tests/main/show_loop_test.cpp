// The frame loop's end-of-show test and the closing screen, driven through a scripted host: music
// position, length and clock are whatever the test says.
#include <gtest/gtest.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "audio/music.h"
#include "fragments/electro_points.h"
#include "main/show.h"
#include "main/stepped_run.h"
#include "support/gl_context.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "timeline/active_fragments.h"
#include "timeline/cue_list.h"
#include "timeline/cue_times.h"
#include "timeline/event_log.h"
#include "timeline/spawner.h"
#include "support/track_bands.h"
#include "utils/random.h"
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

namespace {
// One passage of the show from start-up: its event log and the last frame's pixels.
struct Passage {
    std::string events;
    std::vector<uint8_t> lastFrame;
};

Passage playPassage(long lastFrame)
{
    Passage passage;
    std::FILE* log = std::tmpfile();
    EventLog events(log);
    startShow();
    SteppedRunOptions run;
    run.trackLengthMs = 186000;
    run.spectrumAt = syntheticSpectrum;
    run.lastFrame = lastFrame;
    run.looksAt = [lastFrame](long n) { return n == lastFrame; };
    run.observer = &events;
    run.onFrameEnd = [&](long n) {
        if (n != lastFrame) return;
        passage.lastFrame.resize(1024 * 768 * 3);
        glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, passage.lastFrame.data());
    };
    SteppedRun(run).runToEnd();
    std::rewind(log);
    for (int c; (c = std::fgetc(log)) != EOF;) passage.events += char(c);
    std::fclose(log);
    return passage;
}
}  // namespace

// Play again, and a tool that plans a run before it renders it: the show stopped and started again in
// one process is the first show again, and the stop leaves nothing of it behind.
TEST(ShowStart, ASecondStartInOneProcessIsExactlyTheFirst)
{
    openTestDisplay();
    TempDir dir;
    putShowImages(dir.path());
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    stopShow();   // the generator as initVideo leaves it, whatever earlier tests drew
    resetSceneState();

    const long lastFrame = 30 * 60;   // past both gates, so every kind has spawned
    const Passage first = playPassage(lastFrame);
    std::vector<uint32_t> names(TextureLibrary.textures);
    names.insert(names.end(), std::begin(ElectroTextures), std::end(ElectroTextures));
    names.push_back(EndTexture);
    ASSERT_FALSE(ActiveFragments.empty());

    stopShow();
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_TRUE(CueList.empty());
    EXPECT_EQ(firedCueCount(), 0);
    EXPECT_TRUE(ElectroPoints.empty());
    EXPECT_EQ(LastSpawn.grid + LastSpawn.electro + LastSpawn.bezier, 0.0f);
    EXPECT_TRUE(TextureLibrary.fileNames.empty() && TextureLibrary.textures.empty());
    EXPECT_EQ(EndTexture, NoTexture);
    EXPECT_EQ(*std::max_element(std::begin(spectrum), std::end(spectrum)), 0.0f);
    for (uint32_t name : names) EXPECT_FALSE(glIsTexture(name)) << "texture " << name << " outlived the show";
    EXPECT_EQ(randomState(), SeededRandomState);
    EXPECT_LT(demoTime(), 0.5f);

    const Passage second = playPassage(lastFrame);
    EXPECT_EQ(second.events, first.events);
    EXPECT_TRUE(second.lastFrame == first.lastFrame) << "the second show's frame " << lastFrame << " differs";

    // A start without a stop replaces the running show rather than adding to it.
    startShow();
    EXPECT_EQ(TextureLibrary.fileNames.size(), size_t(LibraryTextureCount));
    EXPECT_EQ(CueList.size(), size_t(CueCount));
    EXPECT_TRUE(ActiveFragments.empty());
    stopShow();
    std::filesystem::current_path(previous);
}
