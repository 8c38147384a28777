// FakeClickMonitor: clicks the test makes reach the subscriber, while there is one.
#pragma once

#include "platform/ClickMonitor.h"

namespace panemaker {

class FakeClickMonitor final : public ClickMonitor {
public:
    std::shared_ptr<std::function<void()>> subscriber;

    std::unique_ptr<Subscription> monitorClicks(std::function<void()> onClick) override
    {
        struct Held final : Subscription {
            std::shared_ptr<std::function<void()>> &slot;
            explicit Held(std::shared_ptr<std::function<void()>> &s) : slot(s) {}
            ~Held() override { slot.reset(); }
        };
        subscriber = std::make_shared<std::function<void()>>(std::move(onClick));
        return std::make_unique<Held>(subscriber);
    }
    void click()
    {
        if (subscriber)
            (*subscriber)();
    }
};

} // namespace panemaker
