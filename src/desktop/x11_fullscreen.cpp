// The full-screen window on X11. sdl12-compat serves a full-screen OpenGL mode by drawing into a
// buffer of its own and, at each swap, scaling it letterboxed to the desktop size; SDL 2 asks the
// window manager to make the window desktop-sized and takes that as done. Where no manager hears that
// request (none runs, or one arrives later), the show carries it out or asks again itself.
//
// The guard and the watch talk to the X server over connections of their own (xcb), so they never
// touch SDL's Xlib connection or its event queue, and an X error on them (a window gone meanwhile)
// comes back as a failed reply instead of reaching Xlib's process-wide error handler.
#include "desktop/x11_fullscreen.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <X11/Xproto.h>
#include <strings.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <thread>

#ifndef GL_FRAMEBUFFER_BINDING
#define GL_FRAMEBUFFER_BINDING 0x8CA6
#endif

namespace {
bool onX11()
{
    char name[16] = "";
    return SDL_VideoDriverName(name, int(sizeof name)) && strcasecmp(name, "x11") == 0;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_window_t rootOf(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// A window manager is the client that redirects the root's children.
bool rootRedirected(xcb_connection_t* connection, xcb_window_t root)
{
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr);
    const bool redirected = reply && (reply->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
    std::free(reply);
    return redirected;
}

bool hasProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr);
    const bool present = reply && reply->type != XCB_ATOM_NONE;
    std::free(reply);
    return present;
}

// -1 when the window is gone.
int mapStateOf(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
    const int state = reply ? reply->map_state : -1;
    std::free(reply);
    return state;
}

// Events other clients send must be 32 bytes, whatever the event's own structure holds.
void sendEvent(xcb_connection_t* connection, xcb_window_t destination, uint32_t mask, const void* event,
               size_t size)
{
    char bytes[32] = {};
    std::memcpy(bytes, event, size < sizeof bytes ? size : sizeof bytes);
    xcb_send_event(connection, 0, destination, mask, bytes);
}

// A manager that read the map request while still starting can go back to sleep with it unserved,
// until any other event arrives; a root property change is one every manager listens for, and an
// empty append changes nothing it reads. Only an event sent after the manager has read the request
// wakes it, so this is repeated for as long as the window stays unmapped.
constexpr const char* WakeProperty = "_SHOW_WAKE_WINDOW_MANAGER";
void wakeManager(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property)
{
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, root, property, XCB_ATOM_CARDINAL, 32, 0, nullptr);
    xcb_flush(connection);
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

// --- While SDL sets the mode

namespace {
using Clock = std::chrono::steady_clock;
// Short enough that a manager woken here maps the window well within a second of being able to;
// long enough that an ordinary map, over in milliseconds, never sees the guard act.
constexpr auto WakeEvery = std::chrono::milliseconds(100);
constexpr auto WakeAfter = std::chrono::milliseconds(200);
// A manager that has not mapped the window this long is not going to soon: the show plays on, still
// waking it, and asks for full screen and the focus once the window appears.
constexpr auto GoOnAfter = std::chrono::seconds(3);
}  // namespace

namespace {
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
    const Clock::time_point start = Clock::now();
    bool wentOn = false;
    std::unique_lock<std::mutex> lock(mutex);
    while (!done.wait_for(lock, WakeEvery, [this] { return finished; })) {
        const Clock::duration waited = Clock::now() - start;
        if (waited < WakeAfter || !rootRedirected(connection, root)) continue;  // no manager: nothing to wait for
        const xcb_window_t window = unmappedWindowOfThisProcess(connection, root, pidAtom);
        if (window == XCB_WINDOW_NONE) continue;
        wakeManager(connection, root, wakeAtom);
        woke = true;
        if (waited >= GoOnAfter && !wentOn) {
            // What SDL waits for: the map it asked for, as if the manager had carried it out.
            xcb_map_notify_event_t mapped{};
            mapped.response_type = XCB_MAP_NOTIFY;
            mapped.event = window;
            mapped.window = window;
            sendEvent(connection, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY, &mapped, sizeof mapped);
            wentOn = true;
        }
        xcb_flush(connection);
    }
}

WindowMapGuard::WindowMapGuard()
{
    if (!onX11()) return;
    handlerBeforeGuard = XSetErrorHandler(ignoreRefusedFocus);
    handlerSet_ = true;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);  // DISPLAY, like SDL's own
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
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
    if (state_->woke) xcb_delete_property(state_->connection, state_->root, state_->wakeAtom);
    xcb_flush(state_->connection);
    xcb_disconnect(state_->connection);
}

bool WindowMapGuard::managerRanBeforeMap() const { return state_ && state_->managerBefore; }

// --- While the show plays

namespace {
struct LateManagerWatch {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t netWmState = XCB_ATOM_NONE;
    xcb_atom_t fullscreen = XCB_ATOM_NONE;
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
    xcb_atom_t wakeProperty = XCB_ATOM_NONE;
    Clock::time_point nextWake{};
    bool woke = false;
    bool mapped = false;
    bool managed = false;  // a manager has set WM_STATE, as every manager does on the windows it takes
    bool settled = false;  // the manager now managing the window has had the show's requests
};
LateManagerWatch lateWatch;

void askManager(xcb_atom_t message, std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = lateWatch.window;
    request.type = message;
    size_t i = 0;
    for (uint32_t value : data) request.data.data32[i++] = value;
    sendEvent(lateWatch.connection, lateWatch.root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
              &request, sizeof request);
}

// After the guard let SDL go on, the window waits for a manager that may still be asleep on it.
void wakeWhileUnmapped()
{
    if (lateWatch.mapped) return;
    const Clock::time_point now = Clock::now();
    if (now < lateWatch.nextWake) return;
    lateWatch.nextWake = now + WakeEvery;
    if (!rootRedirected(lateWatch.connection, lateWatch.root)) return;
    wakeManager(lateWatch.connection, lateWatch.root, lateWatch.wakeProperty);
    lateWatch.woke = true;
}

void askWhenManaged()
{
    if (lateWatch.settled || !lateWatch.mapped || !lateWatch.managed) return;
    // The focus first: a manager serves requests in order, so once the window is seen full screen the
    // keys already go to it.
    // Asked as the user's own action (they started the show to watch it): a manager may turn down an
    // application's request as focus stealing, but not the user's.
    constexpr uint32_t FromTheUser = 2, FromAnApplication = 1, Add = 1;
    askManager(lateWatch.activeWindow, {FromTheUser, XCB_CURRENT_TIME, XCB_WINDOW_NONE});
    askManager(lateWatch.netWmState, {Add, lateWatch.fullscreen, XCB_ATOM_NONE, FromAnApplication});
    xcb_flush(lateWatch.connection);
    lateWatch.settled = true;
}
}  // namespace

void watchForLateWindowManager(bool managerRanBeforeMap)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    lateWatch.connection = connection;
    lateWatch.window = xcb_window_t(info.info.x11.window);
    lateWatch.root = rootOf(connection);
    lateWatch.wmState = internAtom(connection, "WM_STATE");
    lateWatch.netWmState = internAtom(connection, "_NET_WM_STATE");
    lateWatch.fullscreen = internAtom(connection, "_NET_WM_STATE_FULLSCREEN");
    lateWatch.activeWindow = internAtom(connection, "_NET_ACTIVE_WINDOW");
    lateWatch.wakeProperty = internAtom(connection, WakeProperty);
    // Selected before the state is read, so no change falls between the two.
    const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, lateWatch.window, XCB_CW_EVENT_MASK, &events);
    const int state = mapStateOf(connection, lateWatch.window);
    lateWatch.mapped = state == XCB_MAP_STATE_VIEWABLE || state == XCB_MAP_STATE_UNVIEWABLE;
    lateWatch.managed = hasProperty(connection, lateWatch.window, lateWatch.wmState);
    // A manager that held the root before the map had SDL's own requests with it, unless the guard let
    // SDL go on before that manager mapped the window.
    lateWatch.settled = managerRanBeforeMap && lateWatch.mapped;
    askWhenManaged();
}

void answerLateWindowManager()
{
    if (!lateWatch.connection) return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(lateWatch.connection)) {
        switch (event->response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            lateWatch.mapped = true;
            break;
        case XCB_UNMAP_NOTIFY:
            lateWatch.mapped = false;
            break;
        case XCB_REPARENT_NOTIFY:
            // A frame of a manager that may never have heard the show's requests.
            if (reinterpret_cast<xcb_reparent_notify_event_t*>(event)->parent != lateWatch.root) lateWatch.settled = false;
            break;
        case XCB_PROPERTY_NOTIFY: {
            const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (change->atom == lateWatch.wmState) lateWatch.managed = change->state == XCB_PROPERTY_NEW_VALUE;
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(lateWatch.connection)) {
        stopWatchingWindowManager();
        return;
    }
    wakeWhileUnmapped();
    askWhenManaged();
}

void stopWatchingWindowManager()
{
    if (!lateWatch.connection) return;
    if (lateWatch.woke) xcb_delete_property(lateWatch.connection, lateWatch.root, lateWatch.wakeProperty);
    xcb_flush(lateWatch.connection);
    xcb_disconnect(lateWatch.connection);
    lateWatch = LateManagerWatch{};
}
