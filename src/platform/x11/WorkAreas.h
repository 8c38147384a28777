// Work areas per monitor: what panels take on each monitor, as the window manager enforces it.
#pragma once

#include "platform/x11/Properties.h"

#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

namespace panemaker::x11 {

// A viewable window that declares a strut.
struct StrutWindow {
    QRect geometry;               // outer rectangle, border included, in root coordinates
    std::optional<Strut> partial; // _NET_WM_STRUT_PARTIAL
    Extents strut;                // _NET_WM_STRUT, used only without the partial form
};

struct DesktopReservations {
    QSize screen;                    // the root window
    std::vector<QRect> gtkWorkAreas; // per-monitor work areas, where the window manager publishes them
    std::vector<StrutWindow> struts;
    std::optional<QRect> workArea; // _NET_WORKAREA of the current desktop
    std::vector<QRect> topLevels;  // viewable children of the root, border included: built-in toolbars among them
};

// One work area per monitor (root coordinates; the primary monitor first):
// 1. the published per-monitor area that lies inside the monitor, where there is one;
// 2. else the monitor less the struts: a partial strut's band on the monitor where its inner
//    edge lies, a legacy strut from its window's inner edge to the edge of the monitor the
//    window is on (window managers disagree on what the legacy numbers are measured from);
// 3. less what _NET_WORKAREA reserves at an edge that no strut and no monitor edge explains:
//    built-in toolbars declare nothing else. It goes to each monitor along whose same edge a
//    top-level window forms a band of that thickness, else to the primary monitor.
// A monitor that would be left with nothing keeps its whole area.
std::vector<QRect> workAreas(const std::vector<QRect> &monitors, const DesktopReservations &reservations);

} // namespace panemaker::x11
