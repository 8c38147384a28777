// DragSnapper: snaps a window the user drags to a display's edge or corner, with a preview of
// where it will land. Sides for halves, corners for quarters, top to maximize, bottom for thirds.
#pragma once

#include "core/SnapAction.h"
#include "platform/Displays.h"
#include "platform/MouseMonitor.h"
#include "platform/System.h"
#include "platform/Windows.h"

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace panemaker {

class DragSnapper final : public QObject {
    Q_OBJECT

public:
    struct Platform {
        const Windows &windows;
        const Displays &displays;
        const System &system;
        MouseMonitor &mouse;
    };

    // A snap zone: an edge or corner of a display. One on an edge shared with another display
    // becomes active only once the pointer rests there.
    struct Zone {
        SnapAction action;
        Screen screen;
        bool needsPause = false;
        bool operator==(const Zone &) const = default;
    };

    struct Pressed {
        QPointF start; // bottom-left space
    };
    struct Watching {
        AXWindow window;
        Rect initial; // the window's frame when watching began (top-left space)
        QPointF start, lastCheck;
    };
    struct Moving {
        AXWindow window;
    };
    struct Idle {};
    struct Ignoring {};
    using Phase = std::variant<Pressed, Watching, Moving, Idle, Ignoring>;

    explicit DragSnapper(Platform platform, QObject *parent = nullptr);

    // Performs the snap of a window released in a zone.
    std::function<void(const AXWindow &, SnapAction, const Screen &)> onSnap;
    // The frame an action gives on a display; nothing for no preview.
    std::function<std::optional<Rect>(SnapAction, const Screen &)> previewFrame;
    // Shows the preview at a top-left frame, or hides it (nothing).
    std::function<void(const std::optional<Rect> &)> showPreview;

    bool isEnabled() const { return m_enabled; }
    // Starts or stops watching the mouse; setting the current value does nothing.
    void setEnabled(bool enabled);
    // Ends any gesture.
    void reset();

    const Phase &phase() const { return m_phase; }
    const std::optional<Zone> &zone() const { return m_zone; }

    // The action of the zone holding a bottom-left point on a display, if any; edges shared with
    // another display count only with `allowPause`.
    std::optional<SnapAction> zoneAt(QPointF point, const Rect &frame, bool allowPause) const;

private:
    void handleMouse(MouseMonitor::Event event, QPointF point);
    void dragged(QPointF point);
    void track(QPointF point);
    void mouseUp();
    void setZone(const std::optional<Zone> &zone);
    void cancelPending();
    void pendingFired();
    // The zone under a point, first without and then with the edges that need a pause.
    std::optional<Zone> zoneUnder(QPointF point) const;

    Platform m_platform;
    bool m_enabled = false;
    std::unique_ptr<MouseMonitor::Subscription> m_monitor;
    Phase m_phase = Idle{};
    std::optional<Zone> m_zone;
    std::optional<Zone> m_pending;
    QTimer m_pendingTimer;
};

} // namespace panemaker
