// RandR monitors and coordinate spaces.
#include "platform/x11/Monitors.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cmath>

namespace panemaker::x11 {

namespace {

int clampedCoordinate(double value)
{
    if (!std::isfinite(value))
        return 0;
    return int(std::clamp(std::round(value), -32768.0, 32767.0));
}

} // namespace

std::vector<Monitor> readMonitors(const XConnection &x)
{
    xcb_connection_t *c = x.xcb();
    std::vector<Monitor> monitors;
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr && randr->present) {
        const auto reply = waitReply(c, xcb_randr_get_monitors_reply, xcb_randr_get_monitors(c, x.root(), 1));
        if (reply) {
            std::vector<xcb_get_atom_name_cookie_t> names;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t *info = it.data;
                if (info->width == 0 || info->height == 0)
                    continue;
                monitors.push_back({{}, QRect(info->x, info->y, info->width, info->height), bool(info->primary)});
                names.push_back(xcb_get_atom_name(c, info->name));
            }
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (const auto name = waitReply(c, xcb_get_atom_name_reply, names[i]))
                    monitors[i].name = QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                                         xcb_get_atom_name_name_length(name.get()));
            }
        }
    }
    if (monitors.empty()) {
        const xcb_screen_t *screen = x.screen();
        monitors.push_back(
            {QStringLiteral("screen"), QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels), true});
        return monitors;
    }
    auto first = std::find_if(monitors.begin(), monitors.end(), [](const Monitor &m) { return m.primary; });
    if (first == monitors.end())
        first = std::find_if(monitors.begin(), monitors.end(),
                             [](const Monitor &m) { return m.rect.topLeft() == QPoint(0, 0); });
    if (first != monitors.end())
        std::rotate(monitors.begin(), first, first + 1);
    return monitors;
}

Spaces Spaces::of(const std::vector<Monitor> &monitors)
{
    if (monitors.empty())
        return {};
    return {monitors.front().rect.topLeft(), monitors.front().rect.height()};
}

QRect Spaces::root(const Rect &topLeft) const
{
    const int left = clampedCoordinate(topLeft.minX() + origin.x());
    const int top = clampedCoordinate(topLeft.minY() + origin.y());
    const int right = clampedCoordinate(topLeft.maxX() + origin.x());
    const int bottom = clampedCoordinate(topLeft.maxY() + origin.y());
    return QRect(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

QPoint Spaces::root(QPointF topLeft) const
{
    return {clampedCoordinate(topLeft.x() + origin.x()), clampedCoordinate(topLeft.y() + origin.y())};
}

} // namespace panemaker::x11
