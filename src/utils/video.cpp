// The parts of video.h that are the same on every platform: the display size the show asked for, the
// clock's tick-source seam, the GL state every frame starts from, and the random seed. What differs
// (the window or canvas, its events, the tick counter) comes from the platform (utils/platform.h).
#include "utils/video.h"

#include <SDL_opengl.h>

#include "utils/draw.h"
#include "utils/input_feed.h"
#include "utils/platform.h"
#include "utils/random.h"

namespace {
int width = 0;
int height = 0;
int framebufferWidth = 0;
int framebufferHeight = 0;
TickSource tickSource = nullptr;
uint32_t clockStart = 0;   // platform ticks at the clock's 0: the display's opening, or the last restart

uint32_t ticks() { return tickSource ? tickSource() : platformTicks() - clockStart; }

// A page can resize its canvas between frames; a desktop framebuffer keeps its size.
void followFramebuffer()
{
    int w = 0, h = 0;
    platformFramebufferSize(w, h);
    if (w == framebufferWidth && h == framebufferHeight) return;
    framebufferWidth = w;
    framebufferHeight = h;
    setPictureViewport(letterbox(w, h, width, height));
}
}  // namespace

void initVideo(int w, int h, bool fullscreen, int outputW, int outputH)
{
    // The layout is computed for the size asked for, not one read back from the platform.
    width = w;
    height = h;
    framebufferWidth = framebufferHeight = 0;
    clockStart = 0;
    platformOpenDisplay(w, h, fullscreen, outputW, outputH);
    followFramebuffer();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    setGlCapabilities(platformGlCapabilities());
    seedRandom();
    platformShowPointer(false);
}

void closeVideo()
{
    platformShowPointer(true);
    platformCloseDisplay();
}

int screenWidth() { return width; }
int screenHeight() { return height; }
int outputWidth() { return framebufferWidth; }
int outputHeight() { return framebufferHeight; }

void endFrame()
{
    beginInputFrame();
    platformEndFrame();
    followFramebuffer();
}

float demoTime() { return float(ticks() / 1000.0); }
void setTickSource(TickSource source) { tickSource = source; }
void restartClock() { clockStart = platformTicks(); }

bool stopRequested() { return platformStopRequested(); }
