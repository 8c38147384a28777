// ClickMonitor: mouse buttons pressed anywhere on the desktop.
#pragma once

#include <functional>
#include <memory>

namespace panemaker {

class ClickMonitor {
public:
    // Monitoring lasts as long as the subscription.
    class Subscription {
    public:
        virtual ~Subscription() = default;
    };

    virtual ~ClickMonitor() = default;

    // Calls `onClick` on the main thread for each press of the left or right button, in any
    // application but this one, until the subscription is destroyed.
    virtual std::unique_ptr<Subscription> monitorClicks(std::function<void()> onClick) = 0;
};

} // namespace panemaker
