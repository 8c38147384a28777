// MouseMonitor: the left mouse button anywhere on the desktop, as a drag of a window needs it.
#pragma once

#include <QPointF>

#include <functional>
#include <memory>

namespace panemaker {

class MouseMonitor {
public:
    enum class Event { leftDown, leftUp, leftDragged };

    // Monitoring lasts as long as the subscription.
    class Subscription {
    public:
        virtual ~Subscription() = default;
    };

    virtual ~MouseMonitor() = default;

    // Calls `onEvent` on the main thread with the pointer (bottom-left space) for every press and
    // release of the left button, and for moves of the pointer while it is held, in any
    // application; nothing when the platform offers no such monitor.
    virtual std::unique_ptr<Subscription> monitorLeftButton(std::function<void(Event, QPointF)> onEvent) = 0;
};

} // namespace panemaker
