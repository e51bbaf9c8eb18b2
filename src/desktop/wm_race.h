// What the show decides in its race with a window manager, apart from X so that it is tested without
// a server: when the map guard wakes a manager and lets SDL go on, and what the watch for a late
// manager sends at each frame. The X side (x11_map_guard.cpp, x11_late_manager.cpp) only reads the
// server into these inputs and sends what they return.
#pragma once
#include <chrono>

using RaceClock = std::chrono::steady_clock;

// --- Timing
// Short enough that a manager woken here maps the window well within a second of being able to;
// long enough that an ordinary map, over in milliseconds, never sees the guard act.
constexpr auto WakeEvery = std::chrono::milliseconds(100);
constexpr auto WakeAfter = std::chrono::milliseconds(200);
// A manager that has not mapped the window this long is not going to soon: the show plays on, still
// waking it, and asks for full screen and the focus once the window appears.
constexpr auto GoOnAfter = std::chrono::seconds(3);

// --- While SDL sets the mode
// The map guard's turns, one every WakeEvery while SDL waits for its window's map.
class MapGuardSchedule {
public:
    // waited: since the guard started. Whether this turn looks for the show's unmapped window under a
    // redirected root (and, finding it, wakes the manager): not before WakeAfter.
    static bool looks(RaceClock::duration waited);
    // Right after such a wake, waited since the guard started: whether to send SDL the map it waits
    // for now. True once, at the first wake from GoOnAfter on.
    bool goesOn(RaceClock::duration waited);

private:
    bool wentOn_ = false;
};

// --- While the show plays
// What the watch sees happen to the show's window, in the order the server tells it.
enum class WindowChange {
    Mapped,
    Unmapped,
    ReparentedToRoot,  // back on the root: a manager let it go
    Framed,            // reparented into another window: a manager's frame
    ManagedSet,        // WM_STATE written: a manager manages it
    ManagedDeleted,    // WM_STATE deleted
};

// What to send now, in this order; never both, as one needs the window unmapped and the other mapped.
struct WatchRequests {
    bool wakeIfRedirected = false;  // wake the manager, if one redirects the root (looked at only then)
    bool askFocusThenFullScreen = false;  // _NET_ACTIVE_WINDOW, then _NET_WM_STATE full screen
};

// Whether a manager that had none of SDL's requests now manages the window, and when an unmapped
// window's manager is to be woken.
class LateManagerDecision {
public:
    // The server's answer when the watch starts: the window mapped, WM_STATE on it, and whether a
    // manager held the root when SDL mapped it. Asks at once if a late manager already manages it.
    WatchRequests start(bool mapped, bool managed, bool managerRanBeforeMap);
    void see(WindowChange change);
    // Once a frame, after every change seen; now on the steady clock.
    WatchRequests frame(RaceClock::time_point now);

private:
    bool askIfManaged();

    RaceClock::time_point nextWake_{};
    bool mapped_ = false;
    bool managed_ = false;  // a manager has set WM_STATE, as every manager does on the windows it takes
    bool settled_ = false;  // the manager now managing the window has had the show's requests
};
