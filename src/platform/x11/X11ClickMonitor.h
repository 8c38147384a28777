// X11ClickMonitor: left and right button presses anywhere, from XInput 2 raw events.
#pragma once

#include "platform/ClickMonitor.h"

#include <QByteArray>
#include <QObject>

#include <xcb/xcb.h>

#include <map>

class QSocketNotifier;

namespace panemaker::x11 {

class X11ClickMonitor final : public QObject, public ClickMonitor {
    Q_OBJECT

public:
    // Opens a connection of its own to the display (`$DISPLAY` when empty), so that raw events
    // never queue up behind the program's; without one, or without XInput 2, it reports nothing.
    explicit X11ClickMonitor(const QByteArray &displayName);
    ~X11ClickMonitor() override;

    std::unique_ptr<Subscription> monitorClicks(std::function<void()> onClick) override;

private:
    class ClickSubscription;
    // Raw events are asked for only while someone subscribes: nothing comes while idle.
    void selectRawPresses(bool wanted);
    void readEvents();
    // Whether the pointer is over a window of this process, checked from the root down since a
    // managed client sits inside its window manager's frame.
    bool pointerIsOverOwnWindow() const;

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::uint8_t m_inputOpcode = 0; // 0: no XInput 2
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    QSocketNotifier *m_notifier = nullptr;
    std::map<int, std::function<void()>> m_subscribers;
    int m_nextSubscriber = 0;
};

} // namespace panemaker::x11
