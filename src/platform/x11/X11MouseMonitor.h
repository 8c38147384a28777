// X11MouseMonitor: button presses anywhere, and the left button held down for a drag, from
// XInput 2 raw events.
#pragma once

#include "platform/ClickMonitor.h"
#include "platform/MouseMonitor.h"

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QTimer>

#include <xcb/xcb.h>

#include <map>

class QSocketNotifier;

namespace panemaker::x11 {

class X11MouseMonitor final : public QObject, public ClickMonitor, public MouseMonitor {
    Q_OBJECT

public:
    // Opens a connection of its own to the display (`$DISPLAY` when empty), so that raw events
    // never queue up behind the program's; without one, or without XInput 2, it reports nothing.
    explicit X11MouseMonitor(const QByteArray &displayName);
    ~X11MouseMonitor() override;

    std::unique_ptr<ClickMonitor::Subscription> monitorClicks(std::function<void()> onClick) override;
    std::unique_ptr<MouseMonitor::Subscription> monitorLeftButton(std::function<void(Event)> onEvent) override;

private:
    template <typename Base> class Held;
    // Raw events are asked for only while someone subscribes, and motion only while the left
    // button is down: nothing comes while idle, and nothing while the pointer merely moves.
    void selectRawEvents();
    void readEvents();
    void leftButton(bool down);
    // Some devices, XTEST among them, move the pointer without raw motion: while the button is
    // down the pointer is also read every frame.
    void checkPointer();
    void deliver(Event event);
    // Whether the pointer is over a window of this process, checked from the root down since a
    // managed client sits inside its window manager's frame.
    bool pointerIsOverOwnWindow() const;

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::uint8_t m_inputOpcode = 0; // 0: no XInput 2
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    QSocketNotifier *m_notifier = nullptr;
    std::map<int, std::function<void()>> m_subscribers;
    std::map<int, std::function<void(Event)>> m_leftSubscribers;
    int m_nextSubscriber = 0;
    bool m_leftDown = false;
    QPoint m_lastPointer;
    QTimer m_pointerTimer;
};

} // namespace panemaker::x11
