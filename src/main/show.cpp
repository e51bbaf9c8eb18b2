// Start-up order, frame loop and closing screen. The start-up order fixes the order of the random
// draws and of the texture names, so it must not change.
#include "main/show.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cmath>

#include "audio/music.h"
#include "fragments/electro_points.h"
#include "timeline/active_fragments.h"
#include "timeline/cue_list.h"
#include "timeline/cue_times.h"
#include "timeline/scene.h"
#include "timeline/show_state.h"
#include "utils/draw.h"
#include "utils/random.h"
#include "utils/texture_library.h"
#include "utils/video.h"

void LiveHost::fetchSpectrum() { ::fetchSpectrum(); }
uint32_t LiveHost::musicPosition() { return ::musicPosition(); }
uint32_t LiveHost::musicLength() { return ::musicLength(); }
void LiveHost::endFrame() { ::endFrame(); }
// A tap shorter than a frame leaves the level up for no check at all, so the press itself counts too.
// Ctrl+C and SIGTERM end the show the same way: the device and the display are closed as usual.
bool LiveHost::escapePressed() { return keyDown(SDLK_ESCAPE) || keyPressed(SDLK_ESCAPE) || stopRequested(); }

ShowScore listenerScore(std::vector<float> cues)
{
    ShowScore score;
    const double opens = cues.empty() ? 0.0 : double(cues.front());
    score.cues = std::move(cues);
    score.gates = {opens, opens, true};
    return score;
}

ShowScore builtInScore()
{
    ShowScore score;
    score.cues.assign(CueTimes, CueTimes + CueCount);
    return score;
}

void startShow() { startShow(builtInScore()); }

void useScore(const ShowScore& score)
{
    buildCueList(score.cues);
    Gates = score.gates;
    replaceLibraryTextures(score.posters);
}

void startShow(const ShowScore& score)
{
    if (CurrentShow.started) stopShow();
    CurrentShow.started = true;
    buildElectroPoints();
    loadNumberedTextures();
    loadTextureLibrary(score.posters);
    buildCueList(score.cues);
    Gates = score.gates;
    loadEndTexture(score.posters);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void stopShow()
{
    releaseShowTextures();
    clearShowState();
    // initVideo seeded the generator and started the clock just before the first start-up.
    seedRandom();
    restartClock();
}

namespace {
// What one frame left: go on with the next, or how the phase ended.
enum class FrameStep { Continue, Escape, ShowOver };

FrameStep showFrame(ShowHost& host)
{
    host.fetchSpectrum();
    const float t = float(host.musicPosition()) / 1000.0f;
    dispatchCues(t, CueLifetime);
    renderScene(t);
    host.endFrame();
    if (host.escapePressed()) return FrameStep::Escape;

    const uint32_t position = host.musicPosition();
    const uint32_t length = host.musicLength();
    // The show outlives the music: it waits for the last fragment to fade.
    if (position < length || !ActiveFragments.empty()) return FrameStep::Continue;
    return FrameStep::ShowOver;
}

FrameStep closingFrame(ShowHost& host, float closingStart)
{
    if (!(double(demoTime() - closingStart) < ClosingDuration)) return FrameStep::ShowOver;
    drawClosingFrame(demoTime());
    host.endFrame();
    if (host.escapePressed()) return FrameStep::Escape;
    return FrameStep::Continue;
}

LoopExit loopExitOf(FrameStep step) { return step == FrameStep::Escape ? LoopExit::Escape : LoopExit::ShowOver; }
}  // namespace

float closingOpacity(float now)
{
    const float wave = std::sin(8.0f * now);
    return float(0.9 + 0.1 * double(wave));
}

void drawClosingFrame(float now)
{
    glClear(GL_COLOR_BUFFER_BIT);
    setOrtho(0, float(screenWidth()), 0, float(screenHeight()));
    glColor4f(1, 1, 1, closingOpacity(now));
    bindTexture(EndTexture);
    drawTexturedQuad(0, 0, 512, 512);
    disableTexturing();
}

bool ShowRun::step(ShowHost& host)
{
    if (phase_ == Phase::Playing) {
        const FrameStep step = showFrame(host);
        if (step == FrameStep::Continue) return true;
        if (step == FrameStep::Escape) return end(LoopExit::Escape);
        // The closing clock starts in the step that ends the frame loop, so a host's pause before the
        // next step (a browser's next animation frame) cannot shorten the closing image.
        phase_ = Phase::Closing;
        closingStart_ = demoTime();
        return true;
    }
    if (phase_ == Phase::Closing) {
        const FrameStep step = closingFrame(host, closingStart_);
        if (step == FrameStep::Continue) return true;
        return end(loopExitOf(step));
    }
    return false;
}

bool ShowRun::end(LoopExit how)
{
    exit_ = how;
    phase_ = Phase::Ended;
    return false;
}

LoopExit runShow(ShowHost& host)
{
    ShowRun run;
    while (run.step(host)) {
    }
    return run.exit();
}

LoopExit runFrameLoop(ShowHost& host)
{
    ShowRun run;
    while (run.phase() == ShowRun::Phase::Playing && run.step(host)) {
    }
    return run.phase() == ShowRun::Phase::Ended ? run.exit() : LoopExit::ShowOver;
}
