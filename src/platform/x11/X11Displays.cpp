// Displays on X11.
#include "platform/x11/X11Displays.h"

#include "platform/x11/WindowFacts.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/randr.h>

#include <algorithm>

namespace panemaker::x11 {

namespace {

bool isOwnWindow(xcb_window_t window)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QWindowList own = QGuiApplication::allWindows();
    return std::ranges::any_of(own, [window](const QWindow *w) { return w->handle() && w->winId() == window; });
}

} // namespace

X11Displays::X11Displays(XConnection &x, QObject *parent) : Displays(parent), m_x(x)
{
    const auto changedDisplays = [this](const xcb_generic_event_t *) {
        invalidate();
        Q_EMIT changed();
    };
    if (const std::uint8_t randrBase = x.randrEventBase()) {
        x.onEvent(randrBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY, this, changedDisplays);
        x.onEvent(randrBase + XCB_RANDR_NOTIFY, this, changedDisplays);
    }
    for (std::uint8_t type : {XCB_PROPERTY_NOTIFY, XCB_CONFIGURE_NOTIFY, XCB_MAP_NOTIFY, XCB_UNMAP_NOTIFY,
                              XCB_DESTROY_NOTIFY, XCB_REPARENT_NOTIFY})
        x.onEvent(type, this, [this](const xcb_generic_event_t *event) { handleEvent(event); });
}

void X11Displays::handleEvent(const xcb_generic_event_t *event)
{
    // This program's own windows (the picker, the highlight) come and go with every gap filled
    // and reserve nothing; the window is at the same place in every event that names one.
    // A window of ours is known while Qt has it, and remembered until it is destroyed. Asked
    // only of an event that would count: a dragged window sends a thousand moves a second.
    const xcb_window_t window = reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
    if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY && m_ownWindows.remove(window))
        return;
    const auto ours = [&] {
        if (m_ownWindows.contains(window))
            return true;
        if (!isOwnWindow(window))
            return false;
        m_ownWindows.insert(window);
        return true;
    };
    const xcb_ewmh_connection_t *ewmh = m_x.ewmh();
    switch (event->response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const xcb_atom_t atom = reinterpret_cast<const xcb_property_notify_event_t *>(event)->atom;
        QMutexLocker lock(&m_mutex);
        if (m_snapshot
            && (atom == ewmh->_NET_WORKAREA || atom == ewmh->_NET_CURRENT_DESKTOP || atom == ewmh->_NET_WM_STRUT
                || atom == ewmh->_NET_WM_STRUT_PARTIAL || atom == m_snapshot->reservations.publishedAreasAtom))
            m_snapshot.reset();
        return;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
        // Redefining RandR monitors configures the root window and sends nothing else.
        if (configure->window == m_x.root()) {
            invalidate();
            Q_EMIT changed();
            return;
        }
        // Every snap moves a window: only panels and toolbars moving change the work areas.
        QMutexLocker lock(&m_mutex);
        if (!m_snapshot)
            return;
        const ReservationScan &scan = m_snapshot->reservations;
        if (((configure->override_redirect && !scan.clientFrames.contains(configure->window))
             || scan.strutWindows.contains(configure->window) || scan.strutTopLevels.contains(configure->window))
            && !ours())
            m_snapshot.reset();
        return;
    }
    case XCB_UNMAP_NOTIFY:
    case XCB_DESTROY_NOTIFY: {
        // Only a window whose struts were read takes them away; window managers create and drop
        // windows of their own all the time.
        QMutexLocker lock(&m_mutex);
        if (m_snapshot
            && (m_snapshot->reservations.strutWindows.contains(window)
                || m_snapshot->reservations.strutTopLevels.contains(window)))
            m_snapshot.reset();
        return;
    }
    default: // a window appeared: it may be a panel
        if (!ours())
            invalidate();
    }
}

void X11Displays::invalidate()
{
    QMutexLocker lock(&m_mutex);
    m_snapshot.reset();
}

X11Displays::Snapshot X11Displays::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_snapshot)
        m_snapshot = readSnapshot();
    return *m_snapshot;
}

X11Displays::Snapshot X11Displays::readSnapshot() const
{
    Snapshot fresh;
    fresh.monitors = readMonitors(m_x);
    fresh.reservations = readReservations(m_x);
    // Strut windows inside frames tell only themselves when their struts change or they move.
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    for (xcb_window_t window : std::as_const(fresh.reservations.strutWindows))
        xcb_change_window_attributes(m_x.xcb(), window, XCB_CW_EVENT_MASK, &events);
    m_x.flush();

    std::vector<QRect> rects;
    for (const Monitor &monitor : fresh.monitors)
        rects.push_back(monitor.rect);
    const std::vector<QRect> areas = workAreas(rects, fresh.reservations.reservations);
    const Spaces spaces = Spaces::of(fresh.monitors);
    for (std::size_t i = 0; i < fresh.monitors.size(); ++i)
        fresh.screens.append(
            Screen{fresh.monitors[i].name, spaces.bottomLeft(fresh.monitors[i].rect), spaces.bottomLeft(areas[i])});
    return fresh;
}

QList<Screen> X11Displays::screens() const
{
    return snapshot().screens;
}

std::vector<Monitor> X11Displays::monitors() const
{
    return snapshot().monitors;
}

Spaces X11Displays::spaces() const
{
    return Spaces::of(snapshot().monitors);
}

bool X11Displays::followsWindow(xcb_window_t window) const
{
    // Without a snapshot nothing is followed until the next one is read, which selects again.
    QMutexLocker lock(&m_mutex);
    return m_snapshot && m_snapshot->reservations.strutWindows.contains(window);
}

std::optional<Screen> X11Displays::mainScreen() const
{
    const Snapshot current = snapshot();
    if (current.screens.isEmpty())
        return std::nullopt;
    std::optional<QPoint> focus;
    if (const auto active = windowValue(m_x.readProperty(m_x.root(), m_x.ewmh()->_NET_ACTIVE_WINDOW, 1))) {
        if (const auto facts = readWindowFacts(m_x, *active, WindowFacts::readGeometry))
            if (const auto frame = facts->visibleFrame())
                focus = frame->center();
    }
    if (!focus) {
        xcb_connection_t *c = m_x.xcb();
        if (const auto pointer = waitReply(c, xcb_query_pointer_reply, xcb_query_pointer(c, m_x.root())))
            focus = QPoint(pointer->root_x, pointer->root_y);
    }
    for (std::size_t i = 0; focus && i < current.monitors.size(); ++i) {
        if (current.monitors[i].rect.contains(*focus))
            return current.screens.at(qsizetype(i));
    }
    return current.screens.first();
}

QPointF X11Displays::mouseLocation() const
{
    xcb_connection_t *c = m_x.xcb();
    const auto pointer = waitReply(c, xcb_query_pointer_reply, xcb_query_pointer(c, m_x.root()));
    return spaces().bottomLeft(pointer ? QPoint(pointer->root_x, pointer->root_y) : QPoint());
}

} // namespace panemaker::x11
