// The map guard: a thread with an xcb connection of its own, held around SDL_SetVideoMode, that wakes
// a window manager asleep on the show's map request and lets SDL go on when none maps it; and the X
// error handler that lets the one focus request SDL then makes fail.
#include "desktop/x11_map_guard.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xproto.h>
#include <strings.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "desktop/wm_race.h"
#include "desktop/x11_xcb.h"

namespace {
bool onX11()
{
    char name[16] = "";
    return SDL_VideoDriverName(name, int(sizeof name)) && strcasecmp(name, "x11") == 0;
}

// The show's own top-level window, while it is not mapped: SDL 2 marks its windows with the process id.
xcb_window_t unmappedWindowOfThisProcess(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t pidAtom)
{
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
    if (!tree) return XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    xcb_window_t found = XCB_WINDOW_NONE;
    for (int i = 0; i < count && found == XCB_WINDOW_NONE; ++i) {
        xcb_get_property_reply_t* pid = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, children[i], pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        if (pid && xcb_get_property_value_length(pid) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(pid)) == uint32_t(getpid()) &&
            mapStateOf(connection, children[i]) == XCB_MAP_STATE_UNMAPPED)
            found = children[i];
        std::free(pid);
    }
    std::free(tree);
    return found;
}

// When SDL saw no manager at start-up it gives the window the keyboard focus itself, right after the
// map; once the guard has let it go on, the window is not shown yet, the server refuses, and Xlib's
// default handler would end the show over a focus the manager hands out later anyway.
XErrorHandler handlerBeforeGuard = nullptr;

int ignoreRefusedFocus(Display* display, XErrorEvent* error)
{
    if (error->request_code == X_SetInputFocus && error->error_code == BadMatch) return 0;
    return handlerBeforeGuard ? handlerBeforeGuard(display, error) : 0;
}

// Errors come back asynchronously: the guard's handler must still be in place when they arrive.
void syncSdlDisplay()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return;
    if (info.info.x11.lock_func) info.info.x11.lock_func();
    XSync(info.info.x11.display, False);
    if (info.info.x11.unlock_func) info.info.x11.unlock_func();
}
}  // namespace

struct WindowMapGuard::State {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t pidAtom = XCB_ATOM_NONE;
    xcb_atom_t wakeAtom = XCB_ATOM_NONE;
    bool managerBefore = false;
    bool woke = false;

    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;

    void run();
};

void WindowMapGuard::State::run()
{
    const RaceClock::time_point start = RaceClock::now();
    MapGuardSchedule schedule;
    std::unique_lock<std::mutex> lock(mutex);
    while (!done.wait_for(lock, WakeEvery, [this] { return finished; })) {
        const RaceClock::duration waited = RaceClock::now() - start;
        if (!MapGuardSchedule::looks(waited) || !rootRedirected(connection, root)) continue;  // no manager: nothing to wait for
        const xcb_window_t window = unmappedWindowOfThisProcess(connection, root, pidAtom);
        if (window == XCB_WINDOW_NONE) continue;
        wakeManager(connection, root, wakeAtom);
        woke = true;
        if (schedule.goesOn(waited)) {
            // What SDL waits for: the map it asked for, as if the manager had carried it out.
            xcb_map_notify_event_t mapped{};
            mapped.response_type = XCB_MAP_NOTIFY;
            mapped.event = window;
            mapped.window = window;
            sendEvent(connection, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY, &mapped, sizeof mapped);
        }
        xcb_flush(connection);
    }
}

WindowMapGuard::WindowMapGuard()
{
    if (!onX11()) return;
    handlerBeforeGuard = XSetErrorHandler(ignoreRefusedFocus);
    handlerSet_ = true;
    xcb_connection_t* connection = openOwnConnection();
    if (!connection) return;
    state_ = std::make_unique<State>();
    state_->connection = connection;
    state_->root = rootOf(connection);
    state_->pidAtom = internAtom(connection, "_NET_WM_PID");
    state_->wakeAtom = internAtom(connection, WakeProperty);
    state_->managerBefore = rootRedirected(connection, state_->root);
    state_->thread = std::thread([state = state_.get()] { state->run(); });
}

WindowMapGuard::~WindowMapGuard()
{
    if (handlerSet_) {
        syncSdlDisplay();
        XSetErrorHandler(handlerBeforeGuard);
    }
    if (!state_) return;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->finished = true;
    }
    state_->done.notify_one();
    state_->thread.join();
    closeOwnConnection(state_->connection, state_->root, state_->wakeAtom, state_->woke);
}

bool WindowMapGuard::managerRanBeforeMap() const { return state_ && state_->managerBefore; }
