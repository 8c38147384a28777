// X11System: the session as a whole: is there a window manager to move windows through,
// the bell, this process.
#pragma once

#include "platform/System.h"
#include "platform/x11/XConnection.h"

#include <optional>

namespace panemaker::x11 {

class X11System final : public System {
public:
    explicit X11System(XConnection &x);

    // An EWMH window manager runs (its check window is alive and points to itself) and the
    // session is not Wayland.
    bool isAccessTrusted() const override;
    void beep() override;
    std::int32_t processId() const override;
    // A compositing manager owns _NET_WM_CM_S0.
    bool isCompositing() const override;
    void watchAccess(std::function<void()> onChange) override { m_onAccessChange = std::move(onChange); }
    // _NET_WM_NAME of the check window.
    QString windowManagerName() const override;

private:
    void windowManagerChanged();
    const XConnection &m_x;
    // Asked of the server again only when the root's pointer to the check window changes or
    // the check window goes away.
    mutable std::optional<bool> m_windowManagerRuns;
    mutable xcb_window_t m_checkWindow = XCB_WINDOW_NONE;
    std::function<void()> m_onAccessChange;
    QObject m_subscriber; // ends the subscriptions with this object
};

} // namespace panemaker::x11
