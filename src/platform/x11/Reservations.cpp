// Reading struts, work areas and top-level windows.
#include "platform/x11/Reservations.h"

#include <QHash>

namespace panemaker::x11 {

namespace {

struct StrutCookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_query_tree_cookie_t tree;
    xcb_get_property_cookie_t partial, strut;
};

struct Struts {
    bool viewable = false;
    bool drawn = false; // InputOutput: a toolbar can be seen
    std::optional<Strut> partial;
    std::optional<Extents> strut;
    XReply<xcb_query_tree_reply_t> tree;

    bool declared() const { return viewable && (partial || strut); }
};

StrutCookies requestStruts(const XConnection &x, xcb_window_t window)
{
    xcb_connection_t *c = x.xcb();
    return {xcb_get_window_attributes(c, window), xcb_query_tree(c, window),
            x.requestProperty(window, x.ewmh()->_NET_WM_STRUT_PARTIAL, 12),
            x.requestProperty(window, x.ewmh()->_NET_WM_STRUT, 4)};
}

Struts readStruts(const XConnection &x, const StrutCookies &cookies)
{
    Struts result;
    const auto attributes = waitReply(x.xcb(), xcb_get_window_attributes_reply, cookies.attributes);
    result.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    result.drawn = attributes && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
    result.tree = waitReply(x.xcb(), xcb_query_tree_reply, cookies.tree);
    result.partial = partialStrut(x.property(cookies.partial));
    result.strut = extents(x.property(cookies.strut));
    return result;
}

void record(ReservationScan &scan, xcb_window_t window, xcb_window_t topLevel, const QRect &outer, const Struts &struts)
{
    scan.reservations.struts.push_back({outer, struts.partial, struts.strut.value_or(Extents())});
    scan.strutWindows.insert(window);
    scan.strutTopLevels.insert(topLevel);
}

QRect outerRect(QPoint origin, const xcb_get_geometry_reply_t &geometry)
{
    const int border = geometry.border_width;
    return QRect(origin, QSize(geometry.width + 2 * border, geometry.height + 2 * border));
}

// Managed clients are read directly: walking into window manager frames would read every
// piece of their decoration. Returns the root children that hold them.
QSet<xcb_window_t> readClients(const XConnection &x, const std::vector<xcb_window_t> &clients, ReservationScan &scan)
{
    xcb_connection_t *c = x.xcb();
    std::vector<StrutCookies> cookies;
    for (xcb_window_t client : clients)
        cookies.push_back(requestStruts(x, client));
    QHash<xcb_window_t, xcb_window_t> ancestorOf; // client → its highest ancestor found so far
    std::vector<std::pair<xcb_window_t, Struts>> declaring;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        Struts struts = readStruts(x, cookies[i]);
        if (struts.tree)
            ancestorOf.insert(clients[i], struts.tree->parent == x.root() ? clients[i] : struts.tree->parent);
        if (struts.declared())
            declaring.emplace_back(clients[i], std::move(struts));
    }

    // Frames nest clients one or two levels deep; one round of requests a level.
    QHash<xcb_window_t, xcb_window_t> topLevelOf;
    while (!ancestorOf.isEmpty()) {
        QHash<xcb_window_t, xcb_query_tree_cookie_t> parentCookies;
        for (auto it = ancestorOf.cbegin(); it != ancestorOf.cend(); ++it) {
            if (it.value() != it.key() && !parentCookies.contains(it.value()))
                parentCookies.insert(it.value(), xcb_query_tree(c, it.value()));
        }
        QHash<xcb_window_t, xcb_window_t> parentOf;
        for (auto it = parentCookies.cbegin(); it != parentCookies.cend(); ++it) {
            if (const auto tree = waitReply(c, xcb_query_tree_reply, it.value()))
                parentOf.insert(it.key(), tree->parent);
        }
        QHash<xcb_window_t, xcb_window_t> next;
        for (auto it = ancestorOf.cbegin(); it != ancestorOf.cend(); ++it) {
            const xcb_window_t parent = it.value() == it.key() ? x.root() : parentOf.value(it.value());
            if (parent == x.root())
                topLevelOf.insert(it.key(), it.value());
            else if (parent != XCB_WINDOW_NONE)
                next.insert(it.key(), parent);
        }
        ancestorOf = std::move(next);
    }

    std::vector<std::pair<xcb_get_geometry_cookie_t, xcb_translate_coordinates_cookie_t>> geometries;
    for (const auto &[client, struts] : declaring)
        geometries.emplace_back(xcb_get_geometry(c, client), xcb_translate_coordinates(c, client, x.root(), 0, 0));
    for (std::size_t i = 0; i < declaring.size(); ++i) {
        const auto geometry = waitReply(c, xcb_get_geometry_reply, geometries[i].first);
        const auto position = waitReply(c, xcb_translate_coordinates_reply, geometries[i].second);
        if (!geometry || !position)
            continue;
        const auto &[client, struts] = declaring[i];
        const QPoint outerCorner(position->dst_x - geometry->border_width, position->dst_y - geometry->border_width);
        record(scan, client, topLevelOf.value(client, client), outerRect(outerCorner, *geometry), struts);
    }
    QSet<xcb_window_t> frames;
    for (xcb_window_t topLevel : std::as_const(topLevelOf))
        frames.insert(topLevel);
    return frames;
}

struct Node {
    xcb_window_t window;
    xcb_window_t topLevel;
    QPoint parentOrigin; // the inside corner of the parent, root coordinates
};

std::vector<Node> childrenOf(const xcb_query_tree_reply_t &tree, xcb_window_t topLevel, QPoint origin)
{
    std::vector<Node> nodes;
    const xcb_window_t *children = xcb_query_tree_children(&tree);
    for (int i = 0; i < xcb_query_tree_children_length(&tree); ++i)
        nodes.push_back({children[i], topLevel == XCB_WINDOW_NONE ? children[i] : topLevel, origin});
    return nodes;
}

// The other viewable windows, down to the clients the window manager keeps to itself (such as
// a taskbar inside a frame of its own): panels that are override-redirect children of the
// root, and the toolbars of window managers that draw their own.
void walkTree(const XConnection &x, std::vector<Node> level, ReservationScan &scan)
{
    xcb_connection_t *c = x.xcb();
    const xcb_atom_t wmState = x.atoms().wmState;
    std::erase_if(level, [&](const Node &node) { return scan.clientFrames.contains(node.window); });
    while (!level.empty()) {
        std::vector<std::tuple<StrutCookies, xcb_get_geometry_cookie_t, xcb_get_property_cookie_t>> cookies;
        for (const Node &node : level)
            cookies.emplace_back(requestStruts(x, node.window), xcb_get_geometry(c, node.window),
                                 x.requestProperty(node.window, wmState, 2));
        std::vector<Node> next;
        for (std::size_t i = 0; i < level.size(); ++i) {
            const Node &node = level[i];
            const auto &[strutCookies, geometryCookie, stateCookie] = cookies[i];
            const Struts struts = readStruts(x, strutCookies);
            const auto geometry = waitReply(c, xcb_get_geometry_reply, geometryCookie);
            const bool isClient = x.property(stateCookie).has_value();
            if (!struts.viewable || !geometry)
                continue;
            const QRect outer = outerRect(node.parentOrigin + QPoint(geometry->x, geometry->y), *geometry);
            if (node.window == node.topLevel && struts.drawn)
                scan.reservations.topLevels.push_back(outer);
            if (struts.declared())
                record(scan, node.window, node.topLevel, outer, struts);
            // A client's own child windows are its business: struts live on the client.
            if (struts.tree && !isClient) {
                const QPoint inside = outer.topLeft() + QPoint(geometry->border_width, geometry->border_width);
                std::ranges::move(childrenOf(*struts.tree, node.topLevel, inside), std::back_inserter(next));
            }
        }
        level = std::move(next);
    }
}

} // namespace

ReservationScan readReservations(const XConnection &x)
{
    xcb_connection_t *c = x.xcb();
    const xcb_ewmh_connection_t *ewmh = x.ewmh();
    ReservationScan scan;
    DesktopReservations &reservations = scan.reservations;
    reservations.screen = QSize(x.screen()->width_in_pixels, x.screen()->height_in_pixels);

    const auto desktopCookie = x.requestProperty(x.root(), ewmh->_NET_CURRENT_DESKTOP, 1);
    const auto workAreaCookie = x.requestProperty(x.root(), ewmh->_NET_WORKAREA, 4 * 64);
    const auto clientsCookie = x.requestProperty(x.root(), ewmh->_NET_CLIENT_LIST, 65536);
    const auto rootTreeCookie = xcb_query_tree(c, x.root());
    const std::uint32_t desktop = cardinal(x.property(desktopCookie)).value_or(0);
    const std::vector<QRect> workAreas = rectangles(x.property(workAreaCookie));
    if (desktop < workAreas.size())
        reservations.workArea = workAreas[desktop];
    const std::vector<xcb_window_t> clients =
        cardinals(x.property(clientsCookie), XCB_ATOM_WINDOW, 0).value_or(std::vector<std::uint32_t>());
    const auto rootTree = waitReply(c, xcb_query_tree_reply, rootTreeCookie);
    scan.publishedAreasAtom = x.atom("_GTK_WORKAREAS_D" + QByteArray::number(desktop));
    reservations.gtkWorkAreas = rectangles(x.readProperty(x.root(), scan.publishedAreasAtom, 4 * 64));

    scan.clientFrames = readClients(x, clients, scan);
    if (rootTree)
        walkTree(x, childrenOf(*rootTree, XCB_WINDOW_NONE, QPoint()), scan);
    return scan;
}

} // namespace panemaker::x11
