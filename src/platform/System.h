// System: what the program asks of the desktop session as a whole.
#pragma once

#include <cstdint>

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
};

} // namespace panemaker
