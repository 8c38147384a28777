// Pipelined reads of client windows.
#include "platform/x11/WindowFacts.h"

#include <xcb/res.h>

#include <algorithm>

namespace panemaker::x11 {

namespace {

struct Cookies {
    xcb_get_geometry_cookie_t geometry{};
    xcb_translate_coordinates_cookie_t position{};
    xcb_get_property_cookie_t frameExtents{}, shadowExtents{}, states{}, desktop{}, types{}, transientFor{}, wmPid{},
        netName{}, wmName{}, actions{}, windowClass{};
    xcb_res_query_client_ids_cookie_t clientIds{};
};

std::int32_t pidFromClientIds(const xcb_res_query_client_ids_reply_t *reply)
{
    if (!reply)
        return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)
            && xcb_res_client_id_value_value_length(it.data) >= 1)
            return std::int32_t(*xcb_res_client_id_value_value(it.data));
    }
    return 0;
}

} // namespace

bool WindowFacts::hasState(xcb_atom_t atom) const
{
    return std::find(states.begin(), states.end(), atom) != states.end();
}

std::optional<QRect> WindowFacts::visibleFrame() const
{
    if (!client)
        return std::nullopt;
    const Extents &f = frameExtents;
    const Extents &s = shadowExtents;
    return QRect(client->x() - f.left + s.left, client->y() - f.top + s.top,
                 client->width() + f.left + f.right - s.left - s.right,
                 client->height() + f.top + f.bottom - s.top - s.bottom);
}

QRect clientRectForVisibleFrame(const QRect &visible, const Extents &frame, const Extents &shadow)
{
    return QRect(visible.x() + frame.left - shadow.left, visible.y() + frame.top - shadow.top,
                 std::max(1, visible.width() - frame.left - frame.right + shadow.left + shadow.right),
                 std::max(1, visible.height() - frame.top - frame.bottom + shadow.top + shadow.bottom));
}

std::vector<WindowFacts> readWindowFacts(const XConnection &x, std::span<const xcb_window_t> windows, unsigned parts)
{
    xcb_connection_t *c = x.xcb();
    const xcb_ewmh_connection_t *ewmh = x.ewmh();
    const xcb_atom_t gtkFrameExtents = x.atoms().gtkFrameExtents;
    const xcb_query_extension_reply_t *res = xcb_get_extension_data(c, &xcb_res_id);
    const bool hasRes = res && res->present;

    std::vector<Cookies> cookies(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        Cookies &k = cookies[i];
        k.geometry = xcb_get_geometry(c, w);
        if (parts & WindowFacts::readGeometry) {
            k.position = xcb_translate_coordinates(c, w, x.root(), 0, 0);
            k.frameExtents = x.requestProperty(w, ewmh->_NET_FRAME_EXTENTS, 4);
            k.shadowExtents = x.requestProperty(w, gtkFrameExtents, 4);
        }
        if (parts & WindowFacts::readState) {
            k.states = x.requestProperty(w, ewmh->_NET_WM_STATE, 64);
            k.desktop = x.requestProperty(w, ewmh->_NET_WM_DESKTOP, 1);
        }
        if (parts & WindowFacts::readType) {
            k.types = x.requestProperty(w, ewmh->_NET_WM_WINDOW_TYPE, 64);
            k.transientFor = x.requestProperty(w, XCB_ATOM_WM_TRANSIENT_FOR, 1);
        }
        if (parts & WindowFacts::readPid) {
            k.wmPid = x.requestProperty(w, ewmh->_NET_WM_PID, 1);
            if (hasRes) {
                xcb_res_client_id_spec_t spec{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
                k.clientIds = xcb_res_query_client_ids(c, 1, &spec);
            }
        }
        if (parts & WindowFacts::readTitle) {
            k.netName = x.requestProperty(w, ewmh->_NET_WM_NAME, 4096);
            k.wmName = x.requestProperty(w, XCB_ATOM_WM_NAME, 4096);
        }
        if (parts & WindowFacts::readActions)
            k.actions = x.requestProperty(w, ewmh->_NET_WM_ALLOWED_ACTIONS, 64);
        if (parts & WindowFacts::readClass)
            k.windowClass = x.requestProperty(w, XCB_ATOM_WM_CLASS, 256);
    }

    std::vector<WindowFacts> result(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Cookies &k = cookies[i];
        WindowFacts &facts = result[i];
        facts.id = windows[i];
        const auto geometry = waitReply(c, xcb_get_geometry_reply, k.geometry);
        facts.alive = bool(geometry);
        if (parts & WindowFacts::readGeometry) {
            const auto position = waitReply(c, xcb_translate_coordinates_reply, k.position);
            if (geometry && position)
                facts.client = QRect(position->dst_x, position->dst_y, geometry->width, geometry->height);
            facts.frameExtents = extents(x.property(k.frameExtents)).value_or(Extents());
            facts.shadowExtents = extents(x.property(k.shadowExtents)).value_or(Extents());
        }
        if (parts & WindowFacts::readState) {
            facts.states = atomList(x.property(k.states));
            facts.desktop = cardinal(x.property(k.desktop));
        }
        if (parts & WindowFacts::readType) {
            facts.types = atomList(x.property(k.types));
            facts.transientFor = windowValue(x.property(k.transientFor));
        }
        if (parts & WindowFacts::readPid) {
            const auto wmPid = cardinal(x.property(k.wmPid));
            std::int32_t pid = 0;
            if (hasRes)
                pid = pidFromClientIds(waitReply(c, xcb_res_query_client_ids_reply, k.clientIds).get());
            facts.pid = pid > 0 ? pid : std::int32_t(wmPid.value_or(0));
        }
        if (parts & WindowFacts::readTitle) {
            facts.title = text(x.property(k.netName), ewmh->UTF8_STRING);
            const auto wmName = text(x.property(k.wmName), ewmh->UTF8_STRING);
            if (!facts.title)
                facts.title = wmName;
        }
        if (parts & WindowFacts::readActions) {
            const auto actions = x.property(k.actions);
            if (actions && actions->type == XCB_ATOM_ATOM)
                facts.allowedActions = atomList(actions);
        }
        if (parts & WindowFacts::readClass) {
            if (const std::optional<WindowClass> names = windowClass(x.property(k.windowClass))) {
                facts.instanceName = names->instance;
                facts.className = names->name;
            }
        }
    }
    return result;
}

std::optional<WindowFacts> readWindowFacts(const XConnection &x, xcb_window_t window, unsigned parts)
{
    auto facts = readWindowFacts(x, std::span(&window, 1), parts);
    if (!facts.front().alive)
        return std::nullopt;
    return std::move(facts.front());
}

} // namespace panemaker::x11
