// System: what the program asks of the desktop session as a whole.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace panemaker {

class System {
public:
    virtual ~System() = default;

    // Whether other applications' windows can be moved at all (on X11: a window manager
    // that speaks EWMH is running).
    virtual bool isAccessTrusted() const = 0;
    virtual void beep() = 0;
    virtual std::int32_t processId() const = 0;
    // Whether a compositing manager runs, so that translucent windows blend with what is below.
    virtual bool isCompositing() const = 0;
    // Calls `onChange` on the main thread whenever access may have come or gone (on X11: the
    // window manager's check window changed or went away), to ask isAccessTrusted() again.
    virtual void watchAccess(std::function<void()> onChange) = 0;
    // The running window manager's name for itself; empty when none runs.
    virtual QString windowManagerName() const = 0;
};

} // namespace panemaker
