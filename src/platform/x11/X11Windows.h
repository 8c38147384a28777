// X11Windows: other applications' windows through the window manager (EWMH).
#pragma once

#include "platform/Windows.h"
#include "platform/x11/WindowFacts.h"
#include "platform/x11/X11Displays.h"

#include <QHash>

namespace panemaker::x11 {

class X11Windows final : public Windows {
public:
    X11Windows(XConnection &x, const X11Displays &displays);

    std::optional<Rect> frame(const AXWindow &window) const override;
    int setFrame(const AXWindow &window, const Rect &frame) override;
    int setPosition(const AXWindow &window, QPointF topLeft) override;
    void focus(const AXWindow &window) override;
    void minimize(const AXWindow &window) override;

    std::optional<AXWindow> focusedWindow() const override;
    std::optional<AXWindow> windowAt(QPointF point) const override;
    QList<ServerWindow> serverWindows() const override;

    std::optional<Kind> kind(const AXWindow &window) const override;
    std::optional<bool> isFullScreen(const AXWindow &window) const override;
    std::optional<bool> isMinimized(const AXWindow &window) const override;
    std::optional<bool> canMinimize(const AXWindow &window) const override;
    std::optional<QString> title(const AXWindow &window) const override;

    // The window manager's managed windows, bottom to top, with what the window stack needs
    // to know of them.
    std::vector<WindowFacts> stackedWindows(unsigned parts) const;
    Kind kindOf(const WindowFacts &facts) const;

private:
    bool isOnCurrentDesktop(const WindowFacts &facts, std::uint32_t currentDesktop) const;
    // Waits (bounded) until the client has the asked-for position and size; true when it did.
    bool waitForGeometry(xcb_window_t window, std::optional<QPoint> position, std::optional<QSize> size,
                         int *errorCode) const;
    void requestMoveResize(xcb_window_t window, std::optional<QPoint> framePosition, std::optional<QSize> size) const;

    XConnection &m_x;
    const X11Displays &m_displays;
    // Frame extents change while a window is maximised, and a resize that ends the
    // maximisation must use the normal ones: remembered from the windows this program moved.
    QHash<xcb_window_t, Extents> m_normalExtents;
};

} // namespace panemaker::x11
