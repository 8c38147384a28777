// Displays on X11.
#include "platform/x11/X11Displays.h"

#include "platform/x11/WindowFacts.h"
#include "platform/x11/WorkAreas.h"

#include <QAbstractEventDispatcher>

#include <xcb/randr.h>

namespace panemaker::x11 {

namespace {

// Panels are often override-redirect children of the root rather than managed clients,
// so struts are looked for on both.
std::vector<xcb_window_t> strutCandidates(const XConnection &x)
{
    xcb_connection_t *c = x.xcb();
    std::vector<xcb_window_t> windows =
        cardinals(x.readProperty(x.root(), x.ewmh()->_NET_CLIENT_LIST, 65536), XCB_ATOM_WINDOW, 0)
            .value_or(std::vector<std::uint32_t>());
    const auto tree = waitReply(c, xcb_query_tree_reply, xcb_query_tree(c, x.root()));
    if (!tree)
        return windows;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_get_window_attributes(c, children[i]));
    for (int i = 0; i < count; ++i) {
        const auto attributes = waitReply(c, xcb_get_window_attributes_reply, cookies[std::size_t(i)]);
        if (attributes && attributes->override_redirect && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            windows.push_back(children[i]);
    }
    return windows;
}

DesktopReservations readReservations(const XConnection &x)
{
    const xcb_ewmh_connection_t *ewmh = x.ewmh();
    DesktopReservations reservations;
    reservations.screen = QSize(x.screen()->width_in_pixels, x.screen()->height_in_pixels);
    const std::uint32_t desktop = cardinal(x.readProperty(x.root(), ewmh->_NET_CURRENT_DESKTOP, 1)).value_or(0);
    const QByteArray gtkAreas = "_GTK_WORKAREAS_D" + QByteArray::number(desktop);
    reservations.gtkWorkAreas = rectangles(x.readProperty(x.root(), x.atom(gtkAreas), 4 * 64));
    const std::vector<QRect> workAreas = rectangles(x.readProperty(x.root(), ewmh->_NET_WORKAREA, 4 * 64));
    if (desktop < workAreas.size())
        reservations.workArea = workAreas[desktop];

    const std::vector<xcb_window_t> windows = strutCandidates(x);
    std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t window : windows)
        cookies.emplace_back(x.requestProperty(window, ewmh->_NET_WM_STRUT_PARTIAL, 12),
                             x.requestProperty(window, ewmh->_NET_WM_STRUT, 4));
    for (const auto &[partial, plain] : cookies) {
        if (const auto s = strut(x.property(partial), x.property(plain)))
            reservations.struts.push_back(*s);
    }
    return reservations;
}

} // namespace

X11Displays::X11Displays(XConnection &x, QObject *parent) : Displays(parent), m_x(x)
{
    const std::uint8_t randrBase = x.randrEventBase();
    if (randrBase) {
        const auto changedDisplays = [this](const xcb_generic_event_t *) {
            invalidate();
            Q_EMIT changed();
        };
        x.onEvent(randrBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY, this, changedDisplays);
        x.onEvent(randrBase + XCB_RANDR_NOTIFY, this, changedDisplays);
    }
    x.onEvent(XCB_PROPERTY_NOTIFY, this, [this](const xcb_generic_event_t *) { invalidate(); });
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &X11Displays::invalidate);
}

void X11Displays::invalidate()
{
    QMutexLocker lock(&m_mutex);
    m_snapshot.reset();
}

X11Displays::Snapshot X11Displays::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_snapshot) {
        Snapshot fresh;
        fresh.monitors = readMonitors(m_x);
        fresh.screens = readScreens(fresh.monitors);
        m_snapshot = std::move(fresh);
    }
    return *m_snapshot;
}

QList<Screen> X11Displays::readScreens(const std::vector<Monitor> &monitors) const
{
    std::vector<QRect> rects;
    for (const Monitor &monitor : monitors)
        rects.push_back(monitor.rect);
    const std::vector<QRect> areas = workAreas(rects, readReservations(m_x));
    const Spaces spaces = Spaces::of(monitors);
    QList<Screen> screens;
    for (std::size_t i = 0; i < monitors.size(); ++i)
        screens.append(Screen{monitors[i].name, spaces.bottomLeft(monitors[i].rect), spaces.bottomLeft(areas[i])});
    return screens;
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
