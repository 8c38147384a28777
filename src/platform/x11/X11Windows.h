// X11Windows: other applications' windows through the window manager (EWMH).
#pragma once

#include "platform/Windows.h"
#include "platform/x11/WindowFacts.h"
#include "platform/x11/X11Displays.h"

#include <QHash>
#include <QObject>

namespace panemaker::x11 {

class X11Windows final : public Windows {
public:
    X11Windows(XConnection &x, const X11Displays &displays);
    ~X11Windows() override;

    // On the main thread, as setFrame(), which starts from what it read.
    std::optional<Snapshot> snapshot(const AXWindow &window) const override;
    std::optional<Rect> frame(const AXWindow &window) const override;
    int setFrame(const AXWindow &window, const Rect &frame) override;
    int setPosition(const AXWindow &window, QPointF topLeft) override;
    void focus(const AXWindow &window) override;
    void minimize(const AXWindow &window) override;

    std::optional<AXWindow> focusedWindow() const override;
    std::optional<AXWindow> windowAt(QPointF point) const override;
    QList<ServerWindow> serverWindows() const override;

    QList<Details> details(const QList<AXWindow> &windows) const override;

    // The window manager's managed windows, bottom to top, with what the window stack needs
    // to know of them.
    std::vector<WindowFacts> stackedWindows(unsigned parts) const;
    Kind kindOf(const WindowFacts &facts) const;

private:
    // Where a request of ours asks a window to be: its client's position and size.
    struct Wanted {
        std::optional<QPoint> position;
        std::optional<QSize> size;
        bool isShownBy(const WindowFacts &facts) const;
    };
    // After a first request any settled placement will do; after the second, only the wanted one
    // (an application may take its size late), or none at all when the request changed nothing.
    // An overdue one is a second request to a window manager that has not yet resized a window
    // which allows the size: only the wanted placement ends its longer wait.
    enum class Request { first, second, overdue };
    // Whether the window's size hints allow this client size.
    bool allowsSize(xcb_window_t window, QSize size) const;

    bool isOnCurrentDesktop(const WindowFacts &facts, std::uint32_t currentDesktop) const;
    void requestMoveResize(xcb_window_t window, std::optional<QPoint> framePosition, std::optional<QSize> size) const;
    // The window's placement once the window manager has carried out a request, read when its
    // events show a change; nothing once the window is gone.
    std::optional<WindowFacts> settle(xcb_window_t window, WindowFacts facts, const Wanted &wanted,
                                      Request request) const;
    bool mayShowPlacement(xcb_window_t window, const xcb_generic_event_t *event) const;
    // The events that show the client's size and frame extents, selected while a request is carried out.
    void watch(xcb_window_t window, bool on) const;

    void askForActiveWindow() const;

    XConnection &m_x;
    const X11Displays &m_displays;
    // The root's _NET_ACTIVE_WINDOW, asked for as soon as it changes, so that a hot key finds
    // the answer waiting.
    mutable std::optional<xcb_get_property_cookie_t> m_activeRequest;
    mutable std::optional<xcb_window_t> m_active;
    // Owners of windows until a window comes or goes: only then can an id be used again.
    mutable QHash<xcb_window_t, std::int32_t> m_owners;
    // What snapshot() read last, for setFrame() while no event has come since: a snap reads
    // its window once.
    mutable std::optional<WindowFacts> m_snapshotFacts;
    mutable std::uint64_t m_snapshotEvents = 0;
    QObject m_subscriber; // ends the subscriptions with this object
    // Frame extents change while a window is maximised, and a resize that ends the
    // maximisation must use the normal ones: remembered from the windows this program moved.
    QHash<xcb_window_t, Extents> m_normalExtents;
};

} // namespace panemaker::x11
