// Parsing of property values into the program's types.
#include "platform/x11/Properties.h"

#include <algorithm>
#include <cstring>

namespace panemaker::x11 {

namespace {

// X coordinates are 16-bit; anything larger in a property is nonsense from its writer.
constexpr std::uint32_t coordinateLimit = 32767;

int coordinate(std::uint32_t value)
{
    return int(std::min(value, coordinateLimit));
}

} // namespace

std::optional<PropertyValue> PropertyValue::fromReply(const xcb_get_property_reply_t *reply)
{
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    PropertyValue value;
    value.type = reply->type;
    value.format = reply->format;
    const auto *data = static_cast<const char *>(xcb_get_property_value(reply));
    const int length = xcb_get_property_value_length(reply);
    if (length < 0)
        return std::nullopt;
    if (reply->format == 8) {
        value.bytes = QByteArray(data, length);
    } else if (reply->format == 32) {
        // An empty list is common (Openbox sets an empty _NET_WM_STATE), and memcpy wants a real pointer.
        value.longs.resize(std::size_t(length) / 4);
        if (!value.longs.empty())
            std::memcpy(value.longs.data(), data, value.longs.size() * 4);
    } else if (reply->format != 16) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<std::uint32_t>> cardinals(const std::optional<PropertyValue> &value, xcb_atom_t type,
                                                    std::size_t minimumCount)
{
    if (!value || value->type != type || value->format != 32 || value->longs.size() < minimumCount)
        return std::nullopt;
    return value->longs;
}

std::optional<std::uint32_t> cardinal(const std::optional<PropertyValue> &value)
{
    const auto values = cardinals(value, XCB_ATOM_CARDINAL, 1);
    return values ? std::optional(values->front()) : std::nullopt;
}

std::optional<xcb_window_t> windowValue(const std::optional<PropertyValue> &value)
{
    const auto values = cardinals(value, XCB_ATOM_WINDOW, 1);
    if (!values || values->front() == XCB_WINDOW_NONE)
        return std::nullopt;
    return values->front();
}

std::vector<xcb_atom_t> atomList(const std::optional<PropertyValue> &value)
{
    return cardinals(value, XCB_ATOM_ATOM, 0).value_or(std::vector<std::uint32_t>());
}

std::optional<Extents> extents(const std::optional<PropertyValue> &value)
{
    const auto values = cardinals(value, XCB_ATOM_CARDINAL, 4);
    if (!values || values->size() != 4)
        return std::nullopt;
    const auto &v = *values;
    return Extents{coordinate(v[0]), coordinate(v[1]), coordinate(v[2]), coordinate(v[3])};
}

std::optional<Strut> partialStrut(const std::optional<PropertyValue> &value)
{
    const auto v = cardinals(value, XCB_ATOM_CARDINAL, 12);
    if (!v || v->size() != 12)
        return std::nullopt;
    Strut s;
    int *fields[] = {&s.left,        &s.right,     &s.top,       &s.bottom,  &s.leftStartY,   &s.leftEndY,
                     &s.rightStartY, &s.rightEndY, &s.topStartX, &s.topEndX, &s.bottomStartX, &s.bottomEndX};
    for (std::size_t i = 0; i < 12; ++i)
        *fields[i] = coordinate((*v)[i]);
    return s;
}

std::optional<WindowClass> windowClass(const std::optional<PropertyValue> &value)
{
    if (!value || value->type != XCB_ATOM_STRING || value->format != 8)
        return std::nullopt;
    const QList<QByteArray> names = value->bytes.split('\0');
    return WindowClass{QString::fromLatin1(names.value(0)), QString::fromLatin1(names.value(1))};
}

std::optional<QString> text(const std::optional<PropertyValue> &value, xcb_atom_t utf8StringAtom)
{
    if (!value || value->format != 8)
        return std::nullopt;
    QByteArray bytes = value->bytes;
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (value->type == utf8StringAtom)
        return QString::fromUtf8(bytes);
    if (value->type == XCB_ATOM_STRING)
        return QString::fromLatin1(bytes);
    return std::nullopt;
}

QImage icon(std::span<const std::uint32_t> data, int maximumSide)
{
    std::size_t best = 0;
    std::uint32_t bestWidth = 0, bestHeight = 0;
    std::size_t at = 0;
    while (data.size() - at >= 2) {
        const std::uint32_t width = data[at];
        const std::uint32_t height = data[at + 1];
        const std::uint64_t pixels = std::uint64_t(width) * height;
        if (width == 0 || height == 0 || pixels > data.size() - at - 2)
            break;
        if (width <= std::uint32_t(maximumSide) && height <= std::uint32_t(maximumSide)
            && pixels > std::uint64_t(bestWidth) * bestHeight) {
            best = at + 2;
            bestWidth = width;
            bestHeight = height;
        }
        at += 2 + pixels;
    }
    if (bestWidth == 0)
        return {};
    QImage image(int(bestWidth), int(bestHeight), QImage::Format_ARGB32);
    for (std::uint32_t y = 0; y < bestHeight; ++y)
        std::memcpy(image.scanLine(int(y)), &data[best + std::size_t(y) * bestWidth], bestWidth * 4);
    return image;
}

std::vector<QRect> rectangles(const std::optional<PropertyValue> &value)
{
    std::vector<QRect> result;
    const auto values = cardinals(value, XCB_ATOM_CARDINAL, 4);
    if (!values)
        return result;
    for (std::size_t i = 0; i + 4 <= values->size(); i += 4) {
        const auto &v = *values;
        result.emplace_back(coordinate(v[i]), coordinate(v[i + 1]), coordinate(v[i + 2]), coordinate(v[i + 3]));
    }
    return result;
}

} // namespace panemaker::x11
