// The xcb requests the map guard and the late-manager watch share, each freeing its reply, and the
// wake that a manager asleep on a map request answers.
#include "desktop/x11_xcb.h"

#include <cstdlib>
#include <cstring>

xcb_connection_t* openOwnConnection()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(connection)) return connection;
    xcb_disconnect(connection);
    return nullptr;
}

void closeOwnConnection(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t wakeProperty, bool woke)
{
    if (woke) xcb_delete_property(connection, root, wakeProperty);
    xcb_flush(connection);
    xcb_disconnect(connection);
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
void wakeManager(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property)
{
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, root, property, XCB_ATOM_CARDINAL, 32, 0, nullptr);
    xcb_flush(connection);
}
