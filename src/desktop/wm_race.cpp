// The show's decisions in its race with a window manager: the map guard's schedule and the late
// manager watch's state, from what was seen of the show's window to what to send.
#include "desktop/wm_race.h"

bool MapGuardSchedule::looks(RaceClock::duration waited) { return waited >= WakeAfter; }

bool MapGuardSchedule::goesOn(RaceClock::duration waited)
{
    if (waited < GoOnAfter || wentOn_) return false;
    wentOn_ = true;
    return true;
}

WatchRequests LateManagerDecision::start(bool mapped, bool managed, bool managerRanBeforeMap)
{
    mapped_ = mapped;
    managed_ = managed;
    // A manager that held the root before the map had SDL's own requests with it, unless the guard let
    // SDL go on before that manager mapped the window.
    settled_ = managerRanBeforeMap && mapped;
    WatchRequests requests;
    requests.askFocusThenFullScreen = askIfManaged();
    return requests;
}

void LateManagerDecision::see(WindowChange change)
{
    switch (change) {
    case WindowChange::Mapped:
    case WindowChange::Unmapped:
        mapped_ = change == WindowChange::Mapped;
        break;
    case WindowChange::ReparentedToRoot:
        break;
    case WindowChange::Framed:
        // A frame of a manager that may never have heard the show's requests.
        settled_ = false;
        break;
    case WindowChange::ManagedSet:
    case WindowChange::ManagedDeleted:
        managed_ = change == WindowChange::ManagedSet;
        break;
    }
}

WatchRequests LateManagerDecision::frame(RaceClock::time_point now)
{
    WatchRequests requests;
    // After the guard let SDL go on, the window waits for a manager that may still be asleep on it.
    if (!mapped_ && now >= nextWake_) {
        nextWake_ = now + WakeEvery;
        requests.wakeIfRedirected = true;
    }
    requests.askFocusThenFullScreen = askIfManaged();
    return requests;
}

bool LateManagerDecision::askIfManaged()
{
    if (settled_ || !mapped_ || !managed_) return false;
    settled_ = true;
    return true;
}
