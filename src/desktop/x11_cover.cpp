// The full-screen window on X11 without a window manager. sdl12-compat serves a full-screen OpenGL
// mode by drawing into a buffer of its own and, at each swap, scaling it letterboxed to the desktop
// size; SDL 2 asks the window manager to make the window desktop-sized and takes that as done. Where no
// manager runs to hear that request, the show carries it out itself, over SDL's own Xlib connection.
#include "desktop/x11_cover.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>

#ifndef GL_FRAMEBUFFER_BINDING
#define GL_FRAMEBUFFER_BINDING 0x8CA6
#endif

namespace {
// The layer scales only while it draws into a framebuffer of its own. Without one (a GL without
// framebuffer objects, or SDL12COMPAT_OPENGL_SCALING=0) the picture keeps its size, and so must the
// window, which SDL has centred.
bool layerScales()
{
    GLint framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    glGetError();  // a GL without framebuffer objects rejects the query, and the show must not see that
    return framebuffer != 0;
}

// A window manager is the client that redirects the root's children; with none, the server carries
// out a window's own requests, and nothing else acts on the full-screen request.
bool windowManagerRuns(Display* display)
{
    XWindowAttributes root;
    return XGetWindowAttributes(display, DefaultRootWindow(display), &root) &&
           (root.all_event_masks & SubstructureRedirectMask);
}
}  // namespace

void coverDesktopWithoutWindowManager(int desktopWidth, int desktopHeight)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return;  // offscreen: no X window
    if (!layerScales()) return;
    if (info.info.x11.lock_func) info.info.x11.lock_func();
    Display* display = info.info.x11.display;
    const Window window = info.info.x11.window;
    XWindowAttributes now;
    if (!windowManagerRuns(display) && XGetWindowAttributes(display, window, &now) &&
        (now.width != desktopWidth || now.height != desktopHeight)) {
        // SDL centred the window on the display it is to fill: that display is the desktop-sized area
        // around it (the screen's origin when there is one display).
        XMoveResizeWindow(display, window, now.x - (desktopWidth - now.width) / 2,
                          now.y - (desktopHeight - now.height) / 2, unsigned(desktopWidth), unsigned(desktopHeight));
        XSync(display, False);  // the first frame is then drawn at the new size
    }
    if (info.info.x11.unlock_func) info.info.x11.unlock_func();
}
