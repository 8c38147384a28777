// WindowFacts: what the program reads about client windows, read for many windows at once
// (all requests first, then all replies).
#pragma once

#include "platform/x11/Properties.h"
#include "platform/x11/XConnection.h"

#include <QRect>

#include <optional>
#include <span>
#include <vector>

namespace panemaker::x11 {

struct WindowFacts {
    enum Part : unsigned {
        readGeometry = 1 << 0, // client rectangle, frame and shadow extents
        readState = 1 << 1,    // _NET_WM_STATE, desktop
        readType = 1 << 2,     // window type and transient-for
        readPid = 1 << 3,
        readTitle = 1 << 4,
        readActions = 1 << 5,
        readClass = 1 << 6, // WM_CLASS
    };

    xcb_window_t id = XCB_WINDOW_NONE;
    bool alive = false;          // false once the window is gone
    std::optional<QRect> client; // root coordinates
    Extents frameExtents;        // the window manager's decorations
    Extents shadowExtents;       // a client-side decorated window's invisible margin
    std::vector<xcb_atom_t> states;
    std::optional<std::uint32_t> desktop;
    std::vector<xcb_atom_t> types;
    std::optional<xcb_window_t> transientFor;
    std::int32_t pid = 0;
    std::optional<QString> title;
    std::optional<std::vector<xcb_atom_t>> allowedActions;
    QString instanceName, className; // WM_CLASS

    bool hasState(xcb_atom_t atom) const;
    // The visible outer frame in root coordinates.
    std::optional<QRect> visibleFrame() const;
};

std::vector<WindowFacts> readWindowFacts(const XConnection &x, std::span<const xcb_window_t> windows, unsigned parts);
std::optional<WindowFacts> readWindowFacts(const XConnection &x, xcb_window_t window, unsigned parts);

// The frame and client geometry that show a visible frame, given the window's extents.
QRect clientRectForVisibleFrame(const QRect &visible, const Extents &frame, const Extents &shadow);

} // namespace panemaker::x11
