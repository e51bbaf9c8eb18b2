// The full-screen window on X11 whatever the window manager does: none at all, one that holds the
// root but is not yet serving requests (still starting, or stopped) when the window is mapped, and one
// that starts after the window was mapped. Everything here does nothing off X11.
#pragma once
#include <memory>

// SDL 2 maps its window inside SDL_SetVideoMode and waits for the map with no time limit. A window
// manager that already redirects the root's children but is not yet running its event loop can leave
// that map pending until some other event wakes it. Held around SDL_SetVideoMode, the guard wakes such
// a manager, and lets SDL go on if the window still is not mapped after a few seconds.
class WindowMapGuard {
public:
    WindowMapGuard();   // after SDL_Init
    ~WindowMapGuard();  // ends the guard's thread
    WindowMapGuard(const WindowMapGuard&) = delete;
    WindowMapGuard& operator=(const WindowMapGuard&) = delete;

    // A manager held the root when the guard started, so SDL's own requests reached it.
    bool managerRanBeforeMap() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    bool handlerSet_ = false;
};

// desktopWidth and desktopHeight: the desktop size SDL reported before the mode was set. Does nothing
// unless the window is on X11, the layer scales into it and no window manager runs.
void coverDesktopWithoutWindowManager(int desktopWidth, int desktopHeight);

// A manager that takes the window over after it was mapped frames it as an ordinary window and keeps
// the keyboard focus for itself: SDL's full-screen request went to nobody. Started once the full-screen
// mode is set; then, once a frame, asks such a manager for full screen and the focus.
void watchForLateWindowManager(bool managerRanBeforeMap);
void answerLateWindowManager();    // cheap when nothing happened: one non-blocking read
void stopWatchingWindowManager();  // before SDL quits
