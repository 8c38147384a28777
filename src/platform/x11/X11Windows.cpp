// Window access on X11.
#include "platform/x11/X11Windows.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace panemaker::x11 {

namespace {

constexpr int geometryWaitMs = 100;
constexpr int geometryPollMs = 2;
constexpr int sizeRetryDelayMs = 40;
constexpr std::uint32_t allDesktops = 0xFFFFFFFF;
constexpr std::size_t rememberedExtentsLimit = 512;

bool contains(const std::vector<xcb_atom_t> &atoms, xcb_atom_t atom)
{
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

} // namespace

X11Windows::X11Windows(XConnection &x, const X11Displays &displays) : m_x(x), m_displays(displays) {}

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

bool X11Windows::waitForGeometry(xcb_window_t window, std::optional<QPoint> position, std::optional<QSize> size,
                                 int *errorCode) const
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const auto facts = readWindowFacts(m_x, window, WindowFacts::readGeometry);
        if (!facts || !facts->client) {
            *errorCode = XCB_WINDOW;
            return false;
        }
        if ((!position || facts->client->topLeft() == *position) && (!size || facts->client->size() == *size))
            return true;
        if (timer.elapsed() >= geometryWaitMs)
            return false;
        QThread::msleep(geometryPollMs);
    }
}

int X11Windows::setFrame(const AXWindow &window, const Rect &target)
{
    const xcb_ewmh_connection_t *e = m_x.ewmh();
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readGeometry | WindowFacts::readState);
    if (!facts || !facts->client)
        return -XCB_WINDOW;
    const bool maximized =
        facts->hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) || facts->hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
    if (!maximized) {
        if (std::size_t(m_normalExtents.size()) >= rememberedExtentsLimit)
            m_normalExtents.clear();
        m_normalExtents.insert(window.id, facts->frameExtents);
    }
    const QRect visible = m_displays.spaces().root(target);
    Extents frameExtents = m_normalExtents.value(window.id, facts->frameExtents);
    QRect client = clientRectForVisibleFrame(visible, frameExtents, facts->shadowExtents);
    // A request for the geometry a window already has produces no event at all: nothing to wait for.
    if (!maximized && facts->client == client)
        return 0;

    if (maximized)
        xcb_ewmh_request_change_wm_state(m_x.ewmh(), m_x.screenNumber(), window.id, XCB_EWMH_WM_STATE_REMOVE,
                                         e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ,
                                         XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    requestMoveResize(window.id, client.topLeft() - QPoint(frameExtents.left, frameExtents.top), client.size());
    m_x.flush();
    int error = 0;
    if (waitForGeometry(window.id, client.topLeft(), client.size(), &error) || error)
        return -error;

    const auto after = readWindowFacts(m_x, window.id, WindowFacts::readGeometry);
    if (!after || !after->client)
        return -XCB_WINDOW;
    if (after->frameExtents != frameExtents) {
        // The decorations changed on the way (a window that was maximised before we ever
        // saw it): place it again with the ones it has now.
        frameExtents = after->frameExtents;
        m_normalExtents.insert(window.id, frameExtents);
        client = clientRectForVisibleFrame(visible, frameExtents, after->shadowExtents);
        requestMoveResize(window.id, client.topLeft() - QPoint(frameExtents.left, frameExtents.top), client.size());
    } else if (std::abs(after->client->width() - client.width()) > 1
               || std::abs(after->client->height() - client.height()) > 1) {
        // Some applications take a new size only after they have moved: ask for it once more.
        QThread::msleep(sizeRetryDelayMs);
        requestMoveResize(window.id, std::nullopt, client.size());
    } else {
        return 0;
    }
    m_x.flush();
    waitForGeometry(window.id, std::nullopt, client.size(), &error);
    return -error;
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
    requestMoveResize(window.id, framePosition, std::nullopt);
    m_x.flush();
    int error = 0;
    waitForGeometry(window.id, clientPosition, std::nullopt, &error);
    return -error;
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
    m_x.sendRootMessage(window.id, m_x.atom("WM_CHANGE_STATE"), {iconicState, 0, 0, 0, 0});
    m_x.flush();
}

std::optional<AXWindow> X11Windows::focusedWindow() const
{
    const auto active = windowValue(m_x.readProperty(m_x.root(), m_x.ewmh()->_NET_ACTIVE_WINDOW, 1));
    if (!active)
        return std::nullopt;
    const auto facts = readWindowFacts(m_x, *active, WindowFacts::readPid);
    if (!facts)
        return std::nullopt;
    return AXWindow{*active, facts->pid};
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

std::optional<X11Windows::Kind> X11Windows::kind(const AXWindow &window) const
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readType);
    return facts ? std::optional(kindOf(*facts)) : std::nullopt;
}

std::optional<bool> X11Windows::isFullScreen(const AXWindow &window) const
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readState);
    return facts ? std::optional(facts->hasState(m_x.ewmh()->_NET_WM_STATE_FULLSCREEN)) : std::nullopt;
}

std::optional<bool> X11Windows::isMinimized(const AXWindow &window) const
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readState);
    return facts ? std::optional(facts->hasState(m_x.ewmh()->_NET_WM_STATE_HIDDEN)) : std::nullopt;
}

std::optional<bool> X11Windows::canMinimize(const AXWindow &window) const
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readActions);
    if (!facts)
        return std::nullopt;
    return !facts->allowedActions || contains(*facts->allowedActions, m_x.ewmh()->_NET_WM_ACTION_MINIMIZE);
}

std::optional<QString> X11Windows::title(const AXWindow &window) const
{
    const auto facts = readWindowFacts(m_x, window.id, WindowFacts::readTitle);
    if (!facts)
        return std::nullopt;
    return facts->title;
}

} // namespace panemaker::x11
