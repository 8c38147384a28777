// X11MouseMonitor: button presses anywhere, and the left button held down for a drag, from
// XInput 2 raw events.
#pragma once

#include "platform/ClickMonitor.h"
#include "platform/MouseMonitor.h"
#include "platform/x11/FrameClock.h"
#include "platform/x11/X11Displays.h"

#include <QByteArray>
#include <QObject>
#include <QPoint>

#include <xcb/xcb.h>

#include <map>

class QSocketNotifier;

namespace panemaker::x11 {

class X11MouseMonitor final : public QObject, public ClickMonitor, public MouseMonitor {
    Q_OBJECT

public:
    // Opens a connection of its own to the display (`$DISPLAY` when empty), so that raw events
    // never queue up behind the program's; without one, or without XInput 2, it reports nothing.
    X11MouseMonitor(const QByteArray &displayName, const X11Displays &displays, FrameClock &clock);
    ~X11MouseMonitor() override;

    std::unique_ptr<ClickMonitor::Subscription> monitorClicks(std::function<void()> onClick) override;
    std::unique_ptr<MouseMonitor::Subscription> monitorLeftButton(std::function<void(Event, QPointF)> onEvent) override;

private:
    template <typename Base> class Held;
    // Raw button events are asked for only while someone subscribes: nothing comes while idle,
    // and nothing while the pointer merely moves.
    void selectRawEvents();
    void readEvents();
    void leftButton(bool down);
    // While the button is down the monitor works once a frame, however often the mouse reports:
    // it reads the events that came (the release among them) and the pointer.
    void nextFrame();
    void deliver(Event event);
    // Whether the pointer is over a window of this process, checked from the root down since a
    // managed client sits inside its window manager's frame.
    bool pointerIsOverOwnWindow() const;

    const X11Displays &m_displays;
    FrameClock &m_clock;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::uint8_t m_inputOpcode = 0; // 0: no XInput 2
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    QSocketNotifier *m_notifier = nullptr;
    std::map<int, std::function<void()>> m_subscribers;
    std::map<int, std::function<void(Event, QPointF)>> m_leftSubscribers;
    int m_nextSubscriber = 0;
    bool m_leftDown = false;
    QPoint m_lastPointer;
};

} // namespace panemaker::x11
