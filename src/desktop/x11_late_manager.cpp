// The late-manager watch on X: an xcb connection of its own that follows the show's window (map,
// reparent, WM_STATE), hands what it sees to LateManagerDecision (wm_race.h), and sends what that
// decides: the wake, and the focus and full-screen requests.
#include "desktop/x11_late_manager.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>

#include "desktop/wm_race.h"
#include "desktop/x11_xcb.h"

namespace {
class LateManagerWatch {
public:
    LateManagerWatch(xcb_connection_t* connection, xcb_window_t window);  // takes the open connection
    ~LateManagerWatch();                                                   // closes it
    LateManagerWatch(const LateManagerWatch&) = delete;
    LateManagerWatch& operator=(const LateManagerWatch&) = delete;

    void start(bool managerRanBeforeMap);
    bool answer();  // false once the connection has failed

private:
    std::optional<WindowChange> changeIn(const xcb_generic_event_t* event) const;
    void carryOut(const WatchRequests& requests);
    void askManager(xcb_atom_t message, std::initializer_list<uint32_t> data);

    xcb_connection_t* connection_;
    xcb_window_t window_;
    xcb_window_t root_;
    xcb_atom_t wmState_;
    xcb_atom_t netWmState_;
    xcb_atom_t fullscreen_;
    xcb_atom_t activeWindow_;
    xcb_atom_t wakeProperty_;
    bool woke_ = false;
    LateManagerDecision decision_;
};

LateManagerWatch::LateManagerWatch(xcb_connection_t* connection, xcb_window_t window)
    : connection_(connection),
      window_(window),
      root_(rootOf(connection)),
      wmState_(internAtom(connection, "WM_STATE")),
      netWmState_(internAtom(connection, "_NET_WM_STATE")),
      fullscreen_(internAtom(connection, "_NET_WM_STATE_FULLSCREEN")),
      activeWindow_(internAtom(connection, "_NET_ACTIVE_WINDOW")),
      wakeProperty_(internAtom(connection, WakeProperty))
{
}

LateManagerWatch::~LateManagerWatch() { closeOwnConnection(connection_, root_, wakeProperty_, woke_); }

void LateManagerWatch::start(bool managerRanBeforeMap)
{
    // Selected before the state is read, so no change falls between the two.
    const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &events);
    const int state = mapStateOf(connection_, window_);
    const bool mapped = state == XCB_MAP_STATE_VIEWABLE || state == XCB_MAP_STATE_UNVIEWABLE;
    const bool managed = hasProperty(connection_, window_, wmState_);
    carryOut(decision_.start(mapped, managed, managerRanBeforeMap));
}

bool LateManagerWatch::answer()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if (const std::optional<WindowChange> change = changeIn(event)) decision_.see(*change);
        std::free(event);
    }
    if (xcb_connection_has_error(connection_)) return false;
    carryOut(decision_.frame(RaceClock::now()));
    return true;
}

std::optional<WindowChange> LateManagerWatch::changeIn(const xcb_generic_event_t* event) const
{
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY:
        return WindowChange::Mapped;
    case XCB_UNMAP_NOTIFY:
        return WindowChange::Unmapped;
    case XCB_REPARENT_NOTIFY:
        return reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->parent == root_
                   ? WindowChange::ReparentedToRoot
                   : WindowChange::Framed;
    case XCB_PROPERTY_NOTIFY: {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->atom != wmState_) return std::nullopt;
        return change->state == XCB_PROPERTY_NEW_VALUE ? WindowChange::ManagedSet : WindowChange::ManagedDeleted;
    }
    default:
        return std::nullopt;
    }
}

void LateManagerWatch::carryOut(const WatchRequests& requests)
{
    if (requests.wakeIfRedirected && rootRedirected(connection_, root_)) {
        wakeManager(connection_, root_, wakeProperty_);
        woke_ = true;
    }
    if (!requests.askFocusThenFullScreen) return;
    // The focus first: a manager serves requests in order, so once the window is seen full screen the
    // keys already go to it.
    // Asked as the user's own action (they started the show to watch it): a manager may turn down an
    // application's request as focus stealing, but not the user's.
    constexpr uint32_t FromTheUser = 2, FromAnApplication = 1, Add = 1;
    askManager(activeWindow_, {FromTheUser, XCB_CURRENT_TIME, XCB_WINDOW_NONE});
    askManager(netWmState_, {Add, fullscreen_, XCB_ATOM_NONE, FromAnApplication});
    xcb_flush(connection_);
}

void LateManagerWatch::askManager(xcb_atom_t message, std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window_;
    request.type = message;
    size_t i = 0;
    for (uint32_t value : data) request.data.data32[i++] = value;
    sendEvent(connection_, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
              &request, sizeof request);
}

// From watchForLateWindowManager to stopWatchingWindowManager; none off X11 or without a connection.
std::unique_ptr<LateManagerWatch> lateWatch;
}  // namespace

void watchForLateWindowManager(bool managerRanBeforeMap)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return;
    xcb_connection_t* connection = openOwnConnection();
    if (!connection) return;
    lateWatch = std::make_unique<LateManagerWatch>(connection, xcb_window_t(info.info.x11.window));
    lateWatch->start(managerRanBeforeMap);
}

void answerLateWindowManager()
{
    if (lateWatch && !lateWatch->answer()) lateWatch.reset();
}

void stopWatchingWindowManager() { lateWatch.reset(); }
