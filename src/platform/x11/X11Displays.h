// X11Displays: displays from the RandR monitors, their work areas, the pointer.
#pragma once

#include "platform/Displays.h"
#include "platform/x11/Monitors.h"
#include "platform/x11/XConnection.h"

#include <QMutex>

#include <optional>

namespace panemaker::x11 {

class X11Displays final : public Displays {
    Q_OBJECT

public:
    explicit X11Displays(XConnection &x, QObject *parent = nullptr);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    QPointF mouseLocation() const override;

    // The monitors and the coordinate spaces they define. Read once per turn of the event
    // loop and after every change the X server reports; safe from any thread.
    std::vector<Monitor> monitors() const;
    Spaces spaces() const;

private:
    struct Snapshot {
        std::vector<Monitor> monitors;
        QList<Screen> screens;
    };
    Snapshot snapshot() const;
    QList<Screen> readScreens(const std::vector<Monitor> &monitors) const;
    void invalidate();

    XConnection &m_x;
    mutable QMutex m_mutex;
    mutable std::optional<Snapshot> m_snapshot;
};

} // namespace panemaker::x11
