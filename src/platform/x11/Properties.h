// Typed, total readers of X window properties: a value of the wrong type, format or length
// reads as nothing, never as garbage.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace panemaker::x11 {

// A property as the server returned it. 32-bit values arrive in the client's byte order.
struct PropertyValue {
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t format = 0;
    QByteArray bytes;                 // format 8
    std::vector<std::uint32_t> longs; // format 32

    static std::optional<PropertyValue> fromReply(const xcb_get_property_reply_t *reply);
};

// Left, right, top, bottom: distances from a window's edges (_NET_FRAME_EXTENTS,
// _GTK_FRAME_EXTENTS), or what a legacy _NET_WM_STRUT reserves along the screen's edges.
struct Extents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;

    bool operator==(const Extents &) const = default;
};

// Space a window reserves along the root window's edges (_NET_WM_STRUT_PARTIAL), with the
// range each band covers on its edge, ends included.
struct Strut {
    int left = 0, right = 0, top = 0, bottom = 0;
    int leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
    int topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;

    bool operator==(const Strut &) const = default;
};

std::optional<std::vector<std::uint32_t>> cardinals(const std::optional<PropertyValue> &value, xcb_atom_t type,
                                                    std::size_t minimumCount);
std::optional<std::uint32_t> cardinal(const std::optional<PropertyValue> &value);
std::optional<xcb_window_t> windowValue(const std::optional<PropertyValue> &value);
std::vector<xcb_atom_t> atomList(const std::optional<PropertyValue> &value);

std::optional<Extents> extents(const std::optional<PropertyValue> &value);
std::optional<Strut> partialStrut(const std::optional<PropertyValue> &value);
// WM_CLASS: the instance name, then the class name, both Latin-1 STRING.
struct WindowClass {
    QString instance, name;
};
std::optional<WindowClass> windowClass(const std::optional<PropertyValue> &value);
// UTF8_STRING as UTF-8 (bad sequences become U+FFFD), STRING as Latin-1; trailing NULs dropped.
std::optional<QString> text(const std::optional<PropertyValue> &value, xcb_atom_t utf8StringAtom);
// The largest image of a _NET_WM_ICON list no larger than `maximumSide` on either side;
// images whose stated size exceeds what the list holds end the walk.
QImage icon(std::span<const std::uint32_t> data, int maximumSide);
// Rectangles (x, y, width, height) as in _NET_WORKAREA and _GTK_WORKAREAS_D<n>.
std::vector<QRect> rectangles(const std::optional<PropertyValue> &value);

} // namespace panemaker::x11
