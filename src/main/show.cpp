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
#include "timeline/scene.h"
#include "utils/draw.h"
#include "utils/texture_library.h"
#include "utils/video.h"

void LiveHost::fetchSpectrum() { ::fetchSpectrum(); }
uint32_t LiveHost::musicPosition() { return ::musicPosition(); }
uint32_t LiveHost::musicLength() { return ::musicLength(); }
void LiveHost::endFrame() { ::endFrame(); }
// A tap shorter than a frame leaves the level up for no check at all, so the press itself counts too.
// Ctrl+C and SIGTERM end the show the same way: the device and the display are closed as usual.
bool LiveHost::escapePressed() { return keyDown(SDLK_ESCAPE) || keyPressed(SDLK_ESCAPE) || stopRequested(); }

void startShow()
{
    buildElectroPoints();
    loadNumberedTextures();
    loadTextureLibrary();
    buildCueList();
    loadEndTexture();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

LoopExit runFrameLoop(ShowHost& host)
{
    for (;;) {
        host.fetchSpectrum();
        const float t = float(host.musicPosition()) / 1000.0f;
        dispatchCues(t, CueLifetime);
        renderScene(t);
        host.endFrame();
        if (host.escapePressed()) return LoopExit::Escape;

        const uint32_t position = host.musicPosition();
        const uint32_t length = host.musicLength();
        // The show outlives the music: it waits for the last fragment to fade.
        if (position < length || !ActiveFragments.empty()) continue;
        return LoopExit::ShowOver;
    }
}

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

LoopExit runClosingScreen(ShowHost& host)
{
    const float start = demoTime();
    for (;;) {
        if (!(double(demoTime() - start) < ClosingDuration)) return LoopExit::ShowOver;
        drawClosingFrame(demoTime());
        host.endFrame();
        if (host.escapePressed()) return LoopExit::Escape;
    }
}
