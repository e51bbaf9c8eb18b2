// The desktop's display, events and tick counter over SDL 1.2 (sdl12-compat), with the X11 help a
// full-screen window needs whatever the window manager does (desktop/x11_cover.h, x11_map_guard.h and
// x11_late_manager.h).
#include "utils/platform.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <signal.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "desktop/x11_cover.h"
#include "desktop/x11_late_manager.h"
#include "desktop/x11_map_guard.h"
#include "utils/fatal.h"
#include "utils/input_feed.h"
#include "utils/resolution.h"

namespace {
void ignoreWindowEvents()
{
    SDL_EventState(SDL_VIDEORESIZE, SDL_IGNORE);
    SDL_EventState(SDL_VIDEOEXPOSE, SDL_IGNORE);
    SDL_EventState(SDL_USEREVENT, SDL_IGNORE);
}

// SDL falls back to drivers that show nothing when no display can be reached; a show nobody can see
// must not count as a success, unless the caller asked for exactly that driver.
constexpr const char* InvisibleDrivers[] = {"offscreen", "dummy"};
static_assert(sizeof InvisibleDrivers / sizeof InvisibleDrivers[0] == 2, "one entry per invisible driver");

bool namedInEnvironment(const char* driver)
{
    const char* list = std::getenv("SDL_VIDEODRIVER");  // SDL's own variable: one name or a comma list
    if (!list) return false;
    const size_t length = std::strlen(driver);
    for (const char* item = list; *item;) {
        const char* end = std::strchr(item, ',');
        const size_t itemLength = end ? size_t(end - item) : std::strlen(item);
        if (itemLength == length && strncasecmp(item, driver, length) == 0) return true;
        if (!end) break;
        item = end + 1;
    }
    return false;
}

void refuseInvisibleDriver()
{
    char name[64] = "";
    if (!SDL_VideoDriverName(name, int(sizeof name))) return;
    for (const char* invisible : InvisibleDrivers) {
        if (strcasecmp(name, invisible) == 0 && !namedInEnvironment(invisible))
            fatalExit(1, "couldn't initialize SDL: no display is available (SDL fell back to its %s driver)\n",
                      invisible);
    }
}

// SDL turns SIGINT and SIGTERM into a quit event, which the show drops like a window-close request.
// Where SDL has caught them, a handler of our own takes over, so Ctrl+C ends the show the way Escape
// does; a second signal gets the default action, in case the show is stuck.
volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signalNumber) { stopSignal = signalNumber; }

void takeOverStopSignals()
{
    for (int signalNumber : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) != 0) continue;
        const bool plain = !(current.sa_flags & SA_SIGINFO);
        if (plain && (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN)) continue;
        struct sigaction ours {};
        ours.sa_handler = onStopSignal;
        ours.sa_flags = SA_RESETHAND;
        sigemptyset(&ours.sa_mask);
        sigaction(signalNumber, &ours, nullptr);
    }
}
}  // namespace

void platformOpenDisplay(int w, int h, bool fullscreen, int outputW, int outputH)
{
    ResolutionSetting resolution = ResolutionSetting::Auto;
    const char* asked = std::getenv("SHOW_RESOLUTION");
    if (!parseResolutionSetting(asked, resolution))
        fatalExit(1, "SHOW_RESOLUTION is '%s': it must be native or 1024x768\n", asked);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) fatalExit(1, "couldn't initialize SDL: %s\n", SDL_GetError());
    takeOverStopSignals();
    ignoreWindowEvents();

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 0);  // never wait for the retrace: the loop runs flat out
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    // Asked before any mode is set, SDL reports the desktop's size: the size the compatibility layer
    // scales a full-screen picture to.
    const SDL_VideoInfo* desktop = SDL_GetVideoInfo();
    const int desktopWidth = desktop ? desktop->current_w : w;
    const int desktopHeight = desktop ? desktop->current_h : h;

    const Uint32 flags = fullscreen ? (SDL_OPENGL | SDL_FULLSCREEN) : SDL_OPENGL;
    SDL_Surface* mode = nullptr;
    std::string modeError;  // taken before the guard ends: its own SDL calls may replace the text
    bool managerRanBeforeMap = false;
    {
        const WindowMapGuard guard;  // SDL waits for the window's map with no bound of its own
        const bool windowed = !fullscreen && outputW > 0 && outputH > 0;
        mode = SDL_SetVideoMode(windowed ? outputW : w, windowed ? outputH : h, 24, flags);
        // Whether the screen's own size is drawn depends on the renderer, known only once a context
        // exists: the mode is set again, on the same window, before anything has been loaded into it.
        if (mode && fullscreen && (desktopWidth != w || desktopHeight != h) &&
            drawsAtScreenSize(resolution, reinterpret_cast<const char*>(glGetString(GL_RENDERER))))
            mode = SDL_SetVideoMode(desktopWidth, desktopHeight, 24, flags);
        if (!mode) modeError = SDL_GetError();
        managerRanBeforeMap = guard.managerRanBeforeMap();
    }
    // Without a display mode there is no GL context, and every later GL call would crash: stop here
    // the same way as when SDL itself can't start.
    if (!mode) fatalExit(1, "couldn't initialize SDL: %s\n", modeError.c_str());
    refuseInvisibleDriver();
    if (fullscreen) {
        coverDesktopWithoutWindowManager(desktopWidth, desktopHeight);
        watchForLateWindowManager(managerRanBeforeMap);
    }

    SDL_WM_GrabInput(fullscreen ? SDL_GRAB_ON : SDL_GRAB_OFF);
    SDL_EventState(SDL_JOYAXISMOTION, SDL_IGNORE);
    ignoreWindowEvents();
}

void platformFramebufferSize(int& width, int& height)
{
    const SDL_Surface* surface = SDL_GetVideoSurface();
    width = surface ? surface->w : 0;
    height = surface ? surface->h : 0;
}

void platformShowPointer(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

void platformCloseDisplay()
{
    stopWatchingWindowManager();
    SDL_Quit();
}

void platformEndFrame()
{
    answerLateWindowManager();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            feedKey(event.key.keysym.sym, event.type == SDL_KEYDOWN);
            break;
        case SDL_MOUSEMOTION:
            feedMouseMotion(float(event.motion.x), float(event.motion.y));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) feedMouseButton(event.type == SDL_MOUSEBUTTONDOWN);
            break;
        default:  // window close requests included: only Escape ends the show
            break;
        }
    }
    SDL_GL_SwapBuffers();
}

GlCapabilities platformGlCapabilities() { return GlCapabilities{}; }

uint32_t platformTicks() { return SDL_GetTicks(); }

bool platformStopRequested() { return stopSignal != 0; }

// The show's one output channel is standard output, flushed before the exit so that a parent reading
// the pipe always sees the line.
void platformFail(int status, const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    std::exit(status);
}
