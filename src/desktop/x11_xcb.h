// The few xcb requests the map guard and the late-manager watch share. Both talk to the X server over
// connections of their own, so they never touch SDL's Xlib connection or its event queue, and an X
// error on them (a window gone meanwhile) comes back as a failed reply instead of reaching Xlib's
// process-wide error handler.
#pragma once
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>

// --- A connection of the show's own
// To DISPLAY, like SDL's own; nullptr when the server cannot be reached.
xcb_connection_t* openOwnConnection();
// Deletes the wake property first if this connection woke the manager (woke), then disconnects.
void closeOwnConnection(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t wakeProperty, bool woke);

// --- Reading the server (one round trip each)
// XCB_ATOM_NONE when the server does not answer.
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name);
// The first screen's root window (no round trip: from the connection's setup).
xcb_window_t rootOf(xcb_connection_t* connection);
// A window manager is the client that redirects the root's children.
bool rootRedirected(xcb_connection_t* connection, xcb_window_t root);
// Whether the property is on the window; false when the window is gone.
bool hasProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property);
// An XCB_MAP_STATE_* value; -1 when the window is gone.
int mapStateOf(xcb_connection_t* connection, xcb_window_t window);

// --- Writing to it
// size: of the event's own structure, at most 32 bytes are sent. Not flushed.
void sendEvent(xcb_connection_t* connection, xcb_window_t destination, uint32_t mask, const void* event,
               size_t size);
// The root property wakeManager appends to; interned by each connection.
constexpr const char* WakeProperty = "_SHOW_WAKE_WINDOW_MANAGER";
// Wakes a manager asleep on the window's map request; flushed.
void wakeManager(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property);
