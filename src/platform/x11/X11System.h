// X11System: the session as a whole: is there a window manager to move windows through,
// the bell, this process.
#pragma once

#include "platform/System.h"
#include "platform/x11/XConnection.h"

namespace panemaker::x11 {

class X11System final : public System {
public:
    explicit X11System(const XConnection &x) : m_x(x) {}

    // An EWMH window manager runs (its check window is alive and points to itself) and the
    // session is not Wayland.
    bool isAccessTrusted() const override;
    void beep() override;
    std::int32_t processId() const override;

private:
    const XConnection &m_x;
};

} // namespace panemaker::x11
