// Work areas per monitor, from what the window manager and the panels publish.
#pragma once

#include "platform/x11/Properties.h"

#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

namespace panemaker::x11 {

struct DesktopReservations {
    QSize screen;                    // the root window
    std::vector<QRect> gtkWorkAreas; // per-monitor work areas, where the window manager publishes them
    std::vector<Strut> struts;       // of every window that declares one
    std::optional<QRect> workArea;   // _NET_WORKAREA of the current desktop
};

// One work area per monitor (root coordinates). A monitor takes the published per-monitor
// area that lies inside it; otherwise it loses what the struts whose inner edge falls on it
// reserve, and then what _NET_WORKAREA reserves beyond all struts at a screen edge it
// touches. A monitor that would be left with nothing keeps its whole area.
std::vector<QRect> workAreas(const std::vector<QRect> &monitors, const DesktopReservations &reservations);

} // namespace panemaker::x11
