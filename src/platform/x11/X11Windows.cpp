// Window access on X11.
#include "platform/x11/X11Windows.h"

#include <QDeadlineTimer>

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <chrono>

namespace panemaker::x11 {

namespace {

using std::chrono::milliseconds;

// The longest a window manager gets to carry out one request; one that left a window's size
// alone although the window allows the new one gets longer, as it is only busy.
constexpr milliseconds requestWait{100};
constexpr milliseconds overdueWait{500};
// How long a placement must stay unchanged to count as final: once it shows the request, long
// enough for an application that puts its own size back at once; otherwise, long enough for a
// busy window manager to finish its burst of configures.
constexpr milliseconds keptTime{25};
constexpr milliseconds settleTime{50};
constexpr std::uint32_t allDesktops = 0xFFFFFFFF;
constexpr std::size_t rememberedExtentsLimit = 512;

bool contains(const std::vector<xcb_atom_t> &atoms, xcb_atom_t atom)
{
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

bool samePlacement(const WindowFacts &a, const WindowFacts &b)
{
    return a.client == b.client && a.frameExtents == b.frameExtents && a.shadowExtents == b.shadowExtents;
}

} // namespace

X11Windows::X11Windows(XConnection &x, const X11Displays &displays) : m_x(x), m_displays(displays)
{
    x.onEvent(XCB_PROPERTY_NOTIFY, &m_subscriber, [this](const xcb_generic_event_t *event) {
        const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (property->window != m_x.root())
            return;
        if (property->atom == m_x.ewmh()->_NET_ACTIVE_WINDOW)
            askForActiveWindow();
        else if (property->atom == m_x.ewmh()->_NET_CLIENT_LIST)
            m_owners.clear();
    });
    askForActiveWindow();
}

X11Windows::~X11Windows()
{
    if (m_activeRequest)
        xcb_discard_reply(m_x.xcb(), m_activeRequest->sequence);
}

void X11Windows::askForActiveWindow() const
{
    if (m_activeRequest)
        xcb_discard_reply(m_x.xcb(), m_activeRequest->sequence);
    m_activeRequest = m_x.requestProperty(m_x.root(), m_x.ewmh()->_NET_ACTIVE_WINDOW, 1);
    m_x.flush();
}

std::vector<WindowFacts> X11Windows::stackedWindows(unsigned parts) const
{
    const std::vector<std::uint32_t> stack =
        cardinals(m_x.readProperty(m_x.root(), m_x.ewmh()->_NET_CLIENT_LIST_STACKING, 65536), XCB_ATOM_WINDOW, 0)
            .value_or(std::vector<std::uint32_t>());
    return readWindowFacts(m_x, stack, parts);
}

X11Windows::Kind X11Windows::kindOf(const WindowFacts &facts) const
{
    const xcb_ewmh_connection_t *e = m_x.ewmh();
    const xcb_atom_t others[] = {
        e->_NET_WM_WINDOW_TYPE_DESKTOP,       e->_NET_WM_WINDOW_TYPE_DOCK,       e->_NET_WM_WINDOW_TYPE_TOOLBAR,
        e->_NET_WM_WINDOW_TYPE_MENU,          e->_NET_WM_WINDOW_TYPE_UTILITY,    e->_NET_WM_WINDOW_TYPE_SPLASH,
        e->_NET_WM_WINDOW_TYPE_DROPDOWN_MENU, e->_NET_WM_WINDOW_TYPE_POPUP_MENU, e->_NET_WM_WINDOW_TYPE_TOOLTIP,
        e->_NET_WM_WINDOW_TYPE_NOTIFICATION,  e->_NET_WM_WINDOW_TYPE_COMBO,      e->_NET_WM_WINDOW_TYPE_DND};
    // The first type we know decides, as the window manager reads the list.
    for (xcb_atom_t type : facts.types) {
        if (type == e->_NET_WM_WINDOW_TYPE_NORMAL)
            return Kind::standard;
        if (type == e->_NET_WM_WINDOW_TYPE_DIALOG)
            return Kind::dialog;
        if (std::find(std::begin(others), std::end(others), type) != std::end(others))
            return Kind::other;
    }
    return facts.transientFor ? Kind::dialog : Kind::standard;
}

bool X11Windows::isOnCurrentDesktop(const WindowFacts &facts, std::uint32_t currentDesktop) const
{
    return !facts.desktop || *facts.desktop == currentDesktop || *facts.desktop == allDesktops
           || facts.hasState(m_x.ewmh()->_NET_WM_STATE_STICKY);
}

std::optional<Windows::Snapshot> X11Windows::snapshot(const AXWindow &window) const
{
    auto facts =
        readWindowFacts(m_x, window.id, WindowFacts::readGeometry | WindowFacts::readState | WindowFacts::readType);
    const std::optional<QRect> visible = facts ? facts->visibleFrame() : std::nullopt;
    if (!visible)
        return std::nullopt;
    m_snapshotFacts = facts;
    m_snapshotEvents = m_x.eventsRead();
    // The client window is the window server's id too.
    return Snapshot{m_displays.spaces().topLeft(*visible), facts->hasState(m_x.ewmh()->_NET_WM_STATE_FULLSCREEN),
                    kindOf(*facts), window.id};
}

std::optional<Rect> X11Windows::frame(const AXWindow &window) const
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readGeometry);
    const std::optional<QRect> visible = facts ? facts->visibleFrame() : std::nullopt;
    if (!visible)
        return std::nullopt;
    return m_displays.spaces().topLeft(*visible);
}

void X11Windows::requestMoveResize(xcb_window_t window, std::optional<QPoint> framePosition,
                                   std::optional<QSize> size) const
{
    int flags = 0;
    if (framePosition)
        flags |= XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y;
    if (size)
        flags |= XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
    const QPoint p = framePosition.value_or(QPoint());
    const QSize s = size.value_or(QSize());
    // North-west gravity: x and y place the frame's outer corner. Static gravity would
    // place the client instead, and lands a pixel off in some window managers.
    xcb_ewmh_request_moveresize_window(m_x.ewmh(), m_x.screenNumber(), window, XCB_GRAVITY_NORTH_WEST,
                                       XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, xcb_ewmh_moveresize_window_opt_flags_t(flags),
                                       std::uint32_t(p.x()), std::uint32_t(p.y()), std::uint32_t(s.width()),
                                       std::uint32_t(s.height()));
}

bool X11Windows::allowsSize(xcb_window_t window, QSize size) const
{
    xcb_size_hints_t hints{};
    if (!xcb_icccm_get_wm_normal_hints_reply(m_x.xcb(), xcb_icccm_get_wm_normal_hints(m_x.xcb(), window), &hints,
                                             nullptr))
        return true;
    const bool aboveMinimum = !(hints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE)
                              || (size.width() >= hints.min_width && size.height() >= hints.min_height);
    const bool belowMaximum = !(hints.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE)
                              || (size.width() <= hints.max_width && size.height() <= hints.max_height);
    return aboveMinimum && belowMaximum;
}

bool X11Windows::Wanted::isShownBy(const WindowFacts &facts) const
{
    return facts.client && (!position || facts.client->topLeft() == *position)
           && (!size || facts.client->size() == *size);
}

void X11Windows::watch(xcb_window_t window, bool on) const
{
    // The frame's moves come through the root window, which is always watched.
    const std::uint32_t events = on || m_displays.followsWindow(window)
                                     ? XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE
                                     : XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_x.xcb(), window, XCB_CW_EVENT_MASK, &events);
    m_x.flush();
}

bool X11Windows::mayShowPlacement(xcb_window_t window, const xcb_generic_event_t *event) const
{
    switch (event->response_type & 0x7f) {
    case XCB_CONFIGURE_NOTIFY: {
        // The client itself, or any top-level window: one of them is its frame.
        const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
        return configure->window == window || configure->event == m_x.root();
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        return property->window == window
               && (property->atom == m_x.ewmh()->_NET_FRAME_EXTENTS || property->atom == m_x.atoms().gtkFrameExtents);
    }
    case XCB_UNMAP_NOTIFY: return reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window == window;
    case XCB_DESTROY_NOTIFY: return reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == window;
    default: return false;
    }
}

std::optional<WindowFacts> X11Windows::settle(xcb_window_t window, WindowFacts facts, const Wanted &wanted,
                                              Request request) const
{
    const QDeadlineTimer deadline(request == Request::overdue ? overdueWait : requestWait);
    const QSize sizeBefore = facts.client->size();
    bool changed = false;
    // A busy window manager may show the move well before the resize: a window that has moved
    // but kept its old size is given the whole bound to take the new one.
    const auto movedOnly = [&] {
        return wanted.position && wanted.size && facts.client->topLeft() == *wanted.position
               && facts.client->size() == sizeBefore && sizeBefore != *wanted.size;
    };
    // Bounded even while other windows keep the events coming.
    while (!deadline.hasExpired()) {
        auto wait = milliseconds(deadline.remainingTime());
        if (changed && wanted.isShownBy(facts))
            wait = std::min(wait, keptTime);
        else if (changed ? request == Request::first && !movedOnly() : request == Request::second)
            wait = std::min(wait, settleTime);
        if (!m_x.awaitEvent(wait, [&](const xcb_generic_event_t *event) { return mayShowPlacement(window, event); }))
            return facts;
        auto fresh = readWindowFacts(m_x, window, WindowFacts::readGeometry);
        if (!fresh || !fresh->client)
            return std::nullopt;
        if (!samePlacement(*fresh, facts)) {
            facts = std::move(*fresh);
            changed = true;
        }
    }
    return facts;
}

int X11Windows::setFrame(const AXWindow &window, const Rect &target)
{
    const xcb_ewmh_connection_t *e = m_x.ewmh();
    std::optional<WindowFacts> facts;
    if (m_snapshotFacts && m_snapshotFacts->id == window.id && m_snapshotEvents == m_x.eventsRead())
        facts = std::move(m_snapshotFacts);
    else
        facts = readWindowFacts(m_x, window.id, WindowFacts::readGeometry | WindowFacts::readState);
    m_snapshotFacts.reset();
    if (!facts || !facts->client)
        return -XCB_WINDOW;
    const bool maximized =
        facts->hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) || facts->hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
    // A window rolled up to its title bar cannot show the region: it is unrolled first.
    const bool shaded = facts->hasState(e->_NET_WM_STATE_SHADED);
    if (!maximized && !shaded) {
        if (std::size_t(m_normalExtents.size()) >= rememberedExtentsLimit)
            m_normalExtents.clear();
        m_normalExtents.insert(window.id, facts->frameExtents);
    }
    const QRect visible = m_displays.spaces().root(target);
    Extents frameExtents = m_normalExtents.value(window.id, facts->frameExtents);
    QRect client = clientRectForVisibleFrame(visible, frameExtents, facts->shadowExtents);
    // A request for the geometry a window already has produces no event at all: nothing to wait for.
    if (!maximized && !shaded && facts->client == client)
        return 0;

    watch(window.id, true);
    if (maximized)
        xcb_ewmh_request_change_wm_state(m_x.ewmh(), m_x.screenNumber(), window.id, XCB_EWMH_WM_STATE_REMOVE,
                                         e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ,
                                         XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    if (shaded)
        xcb_ewmh_request_change_wm_state(m_x.ewmh(), m_x.screenNumber(), window.id, XCB_EWMH_WM_STATE_REMOVE,
                                         e->_NET_WM_STATE_SHADED, 0, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    requestMoveResize(window.id, client.topLeft() - QPoint(frameExtents.left, frameExtents.top), client.size());
    m_x.flush();
    std::optional<WindowFacts> settled = settle(window.id, *facts, {client.topLeft(), client.size()}, Request::first);
    if (settled && settled->frameExtents != frameExtents) {
        // The decorations changed on the way (a window that was maximised before we ever
        // saw it): place it again with the ones it has now.
        frameExtents = settled->frameExtents;
        m_normalExtents.insert(window.id, frameExtents);
        client = clientRectForVisibleFrame(visible, frameExtents, settled->shadowExtents);
        requestMoveResize(window.id, client.topLeft() - QPoint(frameExtents.left, frameExtents.top), client.size());
        m_x.flush();
        settled = settle(window.id, *settled, {client.topLeft(), client.size()}, Request::second);
    } else if (settled
               && (std::abs(settled->client->width() - client.width()) > 1
                   || std::abs(settled->client->height() - client.height()) > 1)) {
        // Some applications take a new size only after they have moved: ask for it once more.
        const bool overdue = settled->client->size() == facts->client->size() && allowsSize(window.id, client.size());
        requestMoveResize(window.id, std::nullopt, client.size());
        m_x.flush();
        settled =
            settle(window.id, *settled, {std::nullopt, client.size()}, overdue ? Request::overdue : Request::second);
    }
    watch(window.id, false);
    return settled ? 0 : -XCB_WINDOW;
}

int X11Windows::setPosition(const AXWindow &window, QPointF topLeft)
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readGeometry);
    if (!facts || !facts->client)
        return -XCB_WINDOW;
    const QPoint visible = m_displays.spaces().root(topLeft);
    const QPoint framePosition = visible - QPoint(facts->shadowExtents.left, facts->shadowExtents.top);
    const QPoint clientPosition = framePosition + QPoint(facts->frameExtents.left, facts->frameExtents.top);
    if (facts->client->topLeft() == clientPosition)
        return 0;
    watch(window.id, true);
    requestMoveResize(window.id, framePosition, std::nullopt);
    m_x.flush();
    const bool alive = settle(window.id, *facts, {clientPosition, std::nullopt}, Request::first).has_value();
    watch(window.id, false);
    return alive ? 0 : -XCB_WINDOW;
}

void X11Windows::focus(const AXWindow &window)
{
    xcb_ewmh_request_change_active_window(m_x.ewmh(), m_x.screenNumber(), window.id, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                          XCB_CURRENT_TIME, XCB_WINDOW_NONE);
    m_x.flush();
}

void X11Windows::minimize(const AXWindow &window)
{
    constexpr std::uint32_t iconicState = 3;
    m_x.sendRootMessage(window.id, m_x.atoms().wmChangeState, {iconicState, 0, 0, 0, 0});
    m_x.flush();
}

std::optional<AXWindow> X11Windows::focusedWindow() const
{
    if (m_activeRequest) {
        m_active = windowValue(m_x.property(*m_activeRequest));
        m_activeRequest.reset();
    }
    if (!m_active)
        return std::nullopt;
    if (const auto known = m_owners.constFind(*m_active); known != m_owners.constEnd())
        return AXWindow{*m_active, *known};
    const auto facts = readWindowFacts(m_x, *m_active, WindowFacts::readPid);
    if (!facts)
        return std::nullopt;
    m_owners.insert(*m_active, facts->pid);
    return AXWindow{*m_active, facts->pid};
}

QList<ServerWindow> X11Windows::serverWindows() const
{
    const xcb_ewmh_connection_t *e = m_x.ewmh();
    const std::uint32_t desktop = cardinal(m_x.readProperty(m_x.root(), e->_NET_CURRENT_DESKTOP, 1)).value_or(0);
    std::vector<WindowFacts> stack = stackedWindows(WindowFacts::readGeometry | WindowFacts::readState
                                                    | WindowFacts::readType | WindowFacts::readPid);
    std::reverse(stack.begin(), stack.end());
    const Spaces spaces = m_displays.spaces();
    QList<ServerWindow> windows;
    for (std::size_t order = 0; order < stack.size(); ++order) {
        const WindowFacts &facts = stack[order];
        const std::optional<QRect> visible = facts.visibleFrame();
        if (!visible || facts.hasState(e->_NET_WM_STATE_HIDDEN) || !isOnCurrentDesktop(facts, desktop)
            || contains(facts.types, e->_NET_WM_WINDOW_TYPE_DOCK)
            || contains(facts.types, e->_NET_WM_WINDOW_TYPE_DESKTOP))
            continue;
        windows.append(ServerWindow{facts.id, facts.pid, spaces.topLeft(*visible), int(order)});
    }
    return windows;
}

std::optional<AXWindow> X11Windows::windowAt(QPointF point) const
{
    for (const ServerWindow &entry : serverWindows()) {
        if (entry.frame.contains(point))
            return AXWindow{entry.id, entry.pid};
    }
    return std::nullopt;
}

QList<Windows::Details> X11Windows::details(const QList<AXWindow> &windows) const
{
    const xcb_ewmh_connection_t *e = m_x.ewmh();
    const std::uint32_t desktop = cardinal(m_x.readProperty(m_x.root(), e->_NET_CURRENT_DESKTOP, 1)).value_or(0);
    std::vector<xcb_window_t> ids;
    for (const AXWindow &window : windows)
        ids.push_back(window.id);
    const std::vector<WindowFacts> facts = readWindowFacts(
        m_x, ids, WindowFacts::readState | WindowFacts::readType | WindowFacts::readTitle | WindowFacts::readActions);
    QList<Details> details;
    for (std::size_t i = 0; i < facts.size(); ++i) {
        const WindowFacts &f = facts[i];
        if (!f.alive)
            continue;
        details.append(Details{windows[qsizetype(i)], kindOf(f), f.hasState(e->_NET_WM_STATE_FULLSCREEN),
                               f.hasState(e->_NET_WM_STATE_HIDDEN),
                               !f.allowedActions || contains(*f.allowedActions, e->_NET_WM_ACTION_MINIMIZE),
                               isOnCurrentDesktop(f, desktop), f.title.value_or(QString())});
    }
    return details;
}

} // namespace panemaker::x11
