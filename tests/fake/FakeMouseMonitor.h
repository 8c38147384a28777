// FakeMouseMonitor: left-button events the test makes reach the subscriber, while there is one.
#pragma once

#include "platform/MouseMonitor.h"

namespace panemaker {

class FakeMouseMonitor final : public MouseMonitor {
public:
    std::function<void(Event, QPointF)> subscriber;

    std::unique_ptr<Subscription> monitorLeftButton(std::function<void(Event, QPointF)> onEvent) override
    {
        struct Held final : Subscription {
            FakeMouseMonitor &monitor;
            explicit Held(FakeMouseMonitor &m) : monitor(m) {}
            ~Held() override { monitor.subscriber = nullptr; }
        };
        subscriber = std::move(onEvent);
        return std::make_unique<Held>(*this);
    }
    void send(Event event, QPointF point)
    {
        if (subscriber)
            subscriber(event, point);
    }
};

} // namespace panemaker
