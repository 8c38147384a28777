// Reservations: what panels and the window manager reserve on the screen, read off the server.
#pragma once

#include "platform/x11/WorkAreas.h"
#include "platform/x11/XConnection.h"

#include <QSet>

namespace panemaker::x11 {

struct ReservationScan {
    DesktopReservations reservations;
    // The windows whose struts were read and the root children holding them: their changes,
    // moves and disappearance change the reservations.
    QSet<xcb_window_t> strutWindows;
    QSet<xcb_window_t> strutTopLevels;
    // The root children holding managed clients: moving them moves windows, not panels (Fluxbox
    // makes its frames override-redirect, as panels are).
    QSet<xcb_window_t> clientFrames;
    xcb_atom_t publishedAreasAtom = XCB_ATOM_NONE; // _GTK_WORKAREAS_D<n> of the current desktop
};

// Walks every viewable window down to the clients, whose insides declare nothing: panels are
// clients, override-redirect children of the root, or windows inside a window manager's frame.
// One batch of pipelined requests per level of the tree.
ReservationScan readReservations(const XConnection &x);

} // namespace panemaker::x11
