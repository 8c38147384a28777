// Reading struts, work areas and top-level windows.
#include "platform/x11/Reservations.h"

namespace panemaker::x11 {

namespace {

struct Node {
    xcb_window_t window;
    xcb_window_t topLevel;
    QPoint parentOrigin; // the inside corner of the parent, root coordinates
};

struct NodeCookies {
    xcb_get_geometry_cookie_t geometry;
    xcb_query_tree_cookie_t tree;
    xcb_get_property_cookie_t partial, strut, wmState;
};

std::vector<Node> childrenOf(const xcb_query_tree_reply_t *tree, xcb_window_t topLevel, QPoint origin)
{
    std::vector<Node> nodes;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        nodes.push_back({children[i], topLevel == XCB_WINDOW_NONE ? children[i] : topLevel, origin});
    return nodes;
}

} // namespace

ReservationScan readReservations(const XConnection &x)
{
    xcb_connection_t *c = x.xcb();
    const xcb_ewmh_connection_t *ewmh = x.ewmh();
    const xcb_atom_t wmState = x.atom("WM_STATE");
    ReservationScan scan;
    DesktopReservations &reservations = scan.reservations;
    reservations.screen = QSize(x.screen()->width_in_pixels, x.screen()->height_in_pixels);

    const auto desktopCookie = x.requestProperty(x.root(), ewmh->_NET_CURRENT_DESKTOP, 1);
    const auto workAreaCookie = x.requestProperty(x.root(), ewmh->_NET_WORKAREA, 4 * 64);
    const auto rootTreeCookie = xcb_query_tree(c, x.root());
    const std::uint32_t desktop = cardinal(x.property(desktopCookie)).value_or(0);
    const std::vector<QRect> workAreas = rectangles(x.property(workAreaCookie));
    if (desktop < workAreas.size())
        reservations.workArea = workAreas[desktop];
    const auto rootTree = waitReply(c, xcb_query_tree_reply, rootTreeCookie);
    scan.publishedAreasAtom = x.atom("_GTK_WORKAREAS_D" + QByteArray::number(desktop));
    reservations.gtkWorkAreas = rectangles(x.readProperty(x.root(), scan.publishedAreasAtom, 4 * 64));
    if (!rootTree)
        return scan;

    std::vector<Node> level = childrenOf(rootTree.get(), XCB_WINDOW_NONE, QPoint());
    while (!level.empty()) {
        std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
        for (const Node &node : level)
            attributeCookies.push_back(xcb_get_window_attributes(c, node.window));
        std::vector<Node> viewable;
        std::vector<bool> drawn;
        for (std::size_t i = 0; i < level.size(); ++i) {
            const auto attributes = waitReply(c, xcb_get_window_attributes_reply, attributeCookies[i]);
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
                viewable.push_back(level[i]);
                drawn.push_back(attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT);
            }
        }

        std::vector<NodeCookies> cookies;
        for (const Node &node : viewable)
            cookies.push_back({xcb_get_geometry(c, node.window), xcb_query_tree(c, node.window),
                               x.requestProperty(node.window, ewmh->_NET_WM_STRUT_PARTIAL, 12),
                               x.requestProperty(node.window, ewmh->_NET_WM_STRUT, 4),
                               x.requestProperty(node.window, wmState, 2)});
        std::vector<Node> next;
        for (std::size_t i = 0; i < viewable.size(); ++i) {
            const Node &node = viewable[i];
            const auto geometry = waitReply(c, xcb_get_geometry_reply, cookies[i].geometry);
            const auto tree = waitReply(c, xcb_query_tree_reply, cookies[i].tree);
            const std::optional<Strut> partial = partialStrut(x.property(cookies[i].partial));
            const std::optional<Extents> strut = extents(x.property(cookies[i].strut));
            const bool isClient = x.property(cookies[i].wmState).has_value();
            if (!geometry)
                continue;
            const int border = geometry->border_width;
            const QRect outer(node.parentOrigin + QPoint(geometry->x, geometry->y),
                              QSize(geometry->width + 2 * border, geometry->height + 2 * border));
            if (node.window == node.topLevel && drawn[i])
                reservations.topLevels.push_back(outer);
            if (partial || strut) {
                reservations.struts.push_back({outer, partial, strut.value_or(Extents())});
                scan.strutWindows.insert(node.window);
                scan.strutTopLevels.insert(node.topLevel);
            }
            // A client's own child windows are its business: struts live on the client.
            if (tree && !isClient)
                std::ranges::move(childrenOf(tree.get(), node.topLevel, outer.topLeft() + QPoint(border, border)),
                                  std::back_inserter(next));
        }
        level = std::move(next);
    }
    return scan;
}

} // namespace panemaker::x11
