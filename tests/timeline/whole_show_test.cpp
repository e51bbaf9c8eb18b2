// The whole show, scripted: the live show's start-up, frame loop and closing screen on a scripted
// host at 60 frames per second, the spectrum from the track (or its synthetic stand-in), drawing on a
// real GL context. The timeline's observer records what happened, frame by frame. The run is one
// test because it takes a while; it draws into a 128 x 96 viewport, the same GL calls at one
// sixty-fourth of the software rasteriser's fill cost.
#include <gtest/gtest.h>
#include <SDL_opengl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "audio/music.h"
#include "main/scripted_host.h"
#include "support/gl_context.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "timeline/active_fragments.h"
#include "timeline/cue_list.h"
#include "timeline/cue_times.h"
#include "timeline/scene.h"
#include "timeline/spawner.h"
#include "timeline/timeline_events.h"
#include "support/track_bands.h"
#include "utils/draw.h"
#include "utils/random.h"

namespace {
constexpr int Fps = 60;
constexpr uint32_t StartUpMs = 700;  // the wall clock is ahead of the music by what start-up took
constexpr int ViewWidth = 128;       // the window's 1024 x 768 scaled by 1/8
constexpr int ViewHeight = 96;
constexpr int ViewScale = 8;

struct Creation {
    long frame;
    FragmentKind kind;
    float start;
    float lifetime;
};

class ShowRecorder : public TimelineObserver {
public:
    std::vector<FrameEvent> frames;
    std::vector<std::pair<long, CueEvent>> cues;
    std::vector<Creation> created;

    long frame() const { return long(frames.size()) - 1; }
    void frameStarted(const FrameEvent& e) override { frames.push_back(e); }
    void cueFired(const CueEvent& e) override { cues.emplace_back(frame(), e); }
    void texCreated(const TexFrag& f, const Insertion&) override { add(FragmentKind::Tex, f); }
    void bezierCreated(const BezierFrag& f, const Insertion& at) override
    {
        EXPECT_EQ(at.index, 0u);
        add(FragmentKind::Bezier, f);
    }
    void electroCreated(const ElectroFrag& f, const Insertion&) override { add(FragmentKind::Electro, f); }
    void gridCreated(const CircleGridFrag& f, const Insertion&) override { add(FragmentKind::CircleGrid, f); }

private:
    void add(FragmentKind kind, const Fragment& f) { created.push_back({frame(), kind, f.start, f.lifetime}); }
};

bool lit(Rgb p) { return p.r + p.g + p.b > 0; }

// One scripted run of the whole show, kept for all the checks below.
struct WholeRun {
    ShowMusic music;
    ShowRecorder events;
    std::vector<size_t> listLength;         // after each frame's scene step
    std::vector<uint32_t> positionMs;       // music position each frame ran at
    std::vector<int> litPixels;             // every 30th frame: lit pixels of the viewport
    LoopExit loopExit = LoopExit::Escape;
    LoopExit closingExit = LoopExit::Escape;
    long loopFrames = 0;
    long closingFrames = 0;
    int closingInsideLit = 0;               // closing frames whose image square shows
    int closingOutsideLit = 0;              // closing frames with anything outside it
};

WholeRun runWholeShow(ShowMusic music)
{
    WholeRun run;
    run.music = std::move(music);
    openTestDisplay();
    resetSceneState();
    TempDir dir;
    putShowImages(dir.path());
    char previous[4096];
    if (!getcwd(previous, sizeof previous)) throw std::runtime_error("getcwd failed");
    if (chdir(dir.path().c_str()) != 0) throw std::runtime_error("chdir failed");

    glViewport(0, 0, ViewWidth, ViewHeight);
    stopShow();
    setRandomState(SeededRandomState);  // as initVideo leaves it
    setTimelineObserver(&run.events);

    bool closing = false;
    ScriptedShowOptions options;
    options.framesPerSecond = Fps;
    options.trackLengthMs = run.music.lengthMs;
    options.startTicks = StartUpMs;
    options.spectrumAt = run.music.spectrumAt;
    // Each frame is finished, not swapped: the offscreen swap costs more than the frame itself, and
    // presenting belongs to the display layer, which has tests of its own.
    options.present = false;
    ScriptedHost* hostPtr = nullptr;
    options.onFrameEnd = [&](long frame) {
        glFinish();
        if (!closing) {
            run.listLength.push_back(ActiveFragments.size());
            run.positionMs.push_back(hostPtr->positionMs());
            if (frame % 30 == 0) run.litPixels.push_back(countPixels(0, 0, ViewWidth, ViewHeight, lit));
        } else {
            // The closing image fills the lower-left 512 x 512 pixels of the window.
            const int edge = 512 / ViewScale;
            run.closingInsideLit += readPixel(edge / 2, edge / 2).r > 0 ? 1 : 0;
            run.closingOutsideLit += countPixels(edge + 1, 0, ViewWidth, ViewHeight, lit) +
                                         countPixels(0, edge + 1, edge, ViewHeight, lit) >
                                     0;
        }
    };
    {
        ScriptedHost host(options);
        hostPtr = &host;
        startShow();
        ShowRun show;
        while (show.step(host)) {
            if (!closing && show.phase() == ShowRun::Phase::Closing) {
                closing = true;
                run.loopExit = LoopExit::ShowOver;
                run.loopFrames = host.frame();
            }
        }
        if (closing) {
            run.closingExit = show.exit();
            run.closingFrames = host.frame() - run.loopFrames;
        } else {
            run.loopExit = show.exit();
            run.loopFrames = host.frame();
        }
    }
    setTimelineObserver(nullptr);
    glViewport(0, 0, 1024, 768);
    if (chdir(previous) != 0) throw std::runtime_error("chdir back failed");
    return run;
}

float gapLimit(FragmentKind kind)
{
    switch (kind) {
    case FragmentKind::CircleGrid: return GridGap;
    case FragmentKind::Electro: return ElectroGap;
    case FragmentKind::Bezier: return BezierGap;
    default: return 0;
    }
}
void expectRunsFromTheFirstFrameToTheClosingScreen(const WholeRun& run)
{
    EXPECT_EQ(run.loopExit, LoopExit::ShowOver);
    EXPECT_EQ(run.closingExit, LoopExit::ShowOver);
    EXPECT_EQ(long(run.events.frames.size()), run.loopFrames);
    // 2.1 s at 60 frames per second, on a millisecond clock.
    EXPECT_GE(run.closingFrames, 126);
    EXPECT_LE(run.closingFrames, 127);
    EXPECT_EQ(run.closingInsideLit, run.closingFrames);
    EXPECT_EQ(run.closingOutsideLit, 0);
}

void expectEveryCueFiresOnceInTheFirstFrameThatReachesIt(const WholeRun& run)
{
    ASSERT_EQ(run.events.cues.size(), size_t(CueCount));
    for (int i = 0; i < CueCount; ++i) {
        SCOPED_TRACE(i);
        const auto& [frame, cue] = run.events.cues[size_t(i)];
        EXPECT_EQ(cue.cueIndex, i);
        EXPECT_EQ(cue.cueTime, CueTimes[i]);
        EXPECT_GE(run.events.frames[size_t(frame)].musicTime, CueTimes[i]);
        ASSERT_GT(frame, 0);
        EXPECT_LT(run.events.frames[size_t(frame) - 1].musicTime, CueTimes[i]);
    }
    // The four final cues share one frame.
    EXPECT_EQ(run.events.cues[101].first, run.events.cues[104].first);
}

void expectSpectrumSpawnsRespectTheirMusicGatesAndGaps(const WholeRun& run)
{
    std::map<FragmentKind, int> count;
    std::map<FragmentKind, float> last;
    for (const Creation& c : run.events.created) {
        ++count[c.kind];
        const float music = run.events.frames[size_t(c.frame)].musicTime;
        if (c.kind == FragmentKind::CircleGrid) {
            EXPECT_GT(double(music), 18.0) << "frame " << c.frame;
        }
        if (c.kind == FragmentKind::Bezier) {
            EXPECT_GT(double(music), 25.8) << "frame " << c.frame;
        }
        if (c.kind == FragmentKind::Tex) continue;
        if (last.count(c.kind)) {
            EXPECT_GT(c.start - last[c.kind], gapLimit(c.kind)) << "frame " << c.frame;
        }
        last[c.kind] = c.start;
    }
    EXPECT_EQ(count[FragmentKind::Tex] > 0, true);
    EXPECT_GT(count[FragmentKind::CircleGrid], 10);
    EXPECT_GT(count[FragmentKind::Electro], 100);
    EXPECT_GT(count[FragmentKind::Bezier], 10);
    ::testing::Test::RecordProperty("grids", count[FragmentKind::CircleGrid]);
    ::testing::Test::RecordProperty("sparks", count[FragmentKind::Electro]);
    ::testing::Test::RecordProperty("strokes", count[FragmentKind::Bezier]);
    ::testing::Test::RecordProperty("sprites", count[FragmentKind::Tex]);
}

void expectListEmptiesAfterTheMusicAndTheLoopEndsThatFrame(const WholeRun& run)
{
    ASSERT_FALSE(run.listLength.empty());
    const size_t frames = run.listLength.size();
    EXPECT_EQ(run.listLength.back(), 0u);
    // Every earlier frame kept the loop going: music still playing or something still alive.
    for (size_t f = 0; f + 1 < frames; ++f) {
        const bool musicOver = run.positionMs[f + 1] >= run.music.lengthMs;
        if (musicOver) {
            EXPECT_GT(run.listLength[f], 0u) << "frame " << f;
        }
    }
    // Nothing is created once the music is over.
    for (const Creation& c : run.events.created)
        EXPECT_LT(run.positionMs[size_t(c.frame)], run.music.lengthMs) << "frame " << c.frame;
    const size_t busiest = *std::max_element(run.listLength.begin(), run.listLength.end());
    ::testing::Test::RecordProperty("busiestList", int(busiest));
    ::testing::Test::RecordProperty("frames", int(frames));
}

void expectEffectsReachTheScreen(const WholeRun& run)
{
    // Sampled every half second: once the spawning is under way most frames show something.
    int shown = 0, sampled = 0;
    for (size_t i = 60; i < run.litPixels.size() * 9 / 10; ++i) {
        ++sampled;
        shown += run.litPixels[i] > 16;
    }
    EXPECT_GT(shown, sampled * 8 / 10);
}
void expectWholeShow(const WholeRun& run)
{
    {
        SCOPED_TRACE("start to closing screen");
        expectRunsFromTheFirstFrameToTheClosingScreen(run);
    }
    {
        SCOPED_TRACE("cues");
        expectEveryCueFiresOnceInTheFirstFrameThatReachesIt(run);
    }
    {
        SCOPED_TRACE("spawn gates and gaps");
        expectSpectrumSpawnsRespectTheirMusicGatesAndGaps(run);
    }
    {
        SCOPED_TRACE("draining");
        expectListEmptiesAfterTheMusicAndTheLoopEndsThatFrame(run);
    }
    {
        SCOPED_TRACE("pixels");
        expectEffectsReachTheScreen(run);
    }
}
}  // namespace

TEST(WholeShow, ToTheRealTrackFromTheFirstFrameToTheClosingScreen)
{
    ShowMusic music = loadShowMusic();
    if (!music.realTrack) GTEST_SKIP() << "data/bass_300808.mp3 is not there yet";
    expectWholeShow(runWholeShow(std::move(music)));
}

// The track keeps its low bands quiet before the time gates open; this spectrum does not, so here
// the gates themselves are what holds grids and strokes back.
TEST(WholeShow, ToASpectrumThatIsLoudFromTheStart)
{
    expectWholeShow(runWholeShow(syntheticShowMusic()));
}

TEST(SceneStep, ClearsSetsThePixelProjectionThenSweeps)
{
    openTestDisplay();
    resetSceneState();
    stopShow();
    std::fill(spectrum, spectrum + SpectrumSize, 0.0f);
    glColor4f(1, 0, 0, 1);
    drawTexturedQuad(0, 0, 1024, 768);  // last frame's picture
    setOrtho(-4, 4, -3, 3);             // and some other projection

    auto grid = std::make_unique<CircleGridFrag>(2.0f);
    grid->cells.push_back({0, 0, 30, 5, 1.0f});
    ActiveFragments.push_back(std::move(grid));
    renderScene(100.0f);

    const Rgb centre = readPixel(512, 384);
    EXPECT_NEAR(centre.r, 31, 1);  // the first warm colour at half opacity, on black
    EXPECT_NEAR(centre.g, 8, 1);
    EXPECT_EQ(readPixel(10, 10).r, 0);
    EXPECT_EQ(readPixel(512 + 40, 384).r, 0);  // a 30-pixel disc in pixels, not in sprite units
    EXPECT_EQ(ActiveFragments.size(), 1u);
    stopShow();
}
