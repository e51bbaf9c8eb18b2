// The window map under a window manager that holds the root but is not yet serving requests (still
// starting, or stopped) while SDL sets the mode. Does nothing off X11.
#pragma once
#include <memory>

// --- Around SDL_SetVideoMode
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
