// X11Displays: displays from the RandR monitors, their work areas, the pointer.
#pragma once

#include "platform/Displays.h"
#include "platform/x11/Monitors.h"
#include "platform/x11/Reservations.h"
#include "platform/x11/XConnection.h"

#include <QMutex>
#include <QSet>

#include <optional>

namespace panemaker::x11 {

class X11Displays final : public Displays {
    Q_OBJECT

public:
    explicit X11Displays(XConnection &x, QObject *parent = nullptr);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    QPointF mouseLocation() const override;
    QRect nativeFrame(const Rect &topLeft) const override { return spaces().root(topLeft); }

    // The monitors and the coordinate spaces they define. Read again after the X server
    // reports a change that touches them, never while idle; safe from any thread.
    std::vector<Monitor> monitors() const;
    Spaces spaces() const;
    // Whether the work areas follow this window's own events (it reserves space).
    bool followsWindow(xcb_window_t window) const;

private:
    struct Snapshot {
        std::vector<Monitor> monitors;
        QList<Screen> screens;
        ReservationScan reservations; // what changes them is watched
    };
    Snapshot snapshot() const;
    Snapshot readSnapshot() const;
    void invalidate();
    void handleEvent(const xcb_generic_event_t *event);

    XConnection &m_x;
    QSet<xcb_window_t> m_ownWindows; // this program's, seen so far and not yet destroyed
    mutable QMutex m_mutex;
    mutable std::optional<Snapshot> m_snapshot;
};

} // namespace panemaker::x11
