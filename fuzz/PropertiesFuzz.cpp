// fuzz-properties: every reader of X window properties, over replies with any type, format and bytes.
#include "platform/x11/Properties.h"

#include <cstring>
#include <vector>

using namespace panemaker::x11;

// The first byte picks the format, the second the type; the rest is the value as the server sent it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    constexpr xcb_atom_t utf8String = 400;
    const xcb_atom_t types[] = {XCB_ATOM_CARDINAL, XCB_ATOM_WINDOW, XCB_ATOM_ATOM, XCB_ATOM_STRING, utf8String};
    const std::uint8_t formats[] = {8, 16, 32, 0, 7};
    const std::size_t payload = size - 2;
    std::vector<std::uint8_t> buffer(sizeof(xcb_get_property_reply_t) + payload);
    auto *reply = reinterpret_cast<xcb_get_property_reply_t *>(buffer.data());
    reply->format = formats[data[0] % std::size(formats)];
    reply->type = types[data[1] % std::size(types)];
    const int unit = reply->format >= 8 ? reply->format / 8 : 1;
    reply->value_len = std::uint32_t(payload / std::size_t(unit));
    reply->length = std::uint32_t((payload + 3) / 4);
    std::memcpy(buffer.data() + sizeof(xcb_get_property_reply_t), data + 2, payload);

    const std::optional<PropertyValue> value = PropertyValue::fromReply(reply);
    (void)cardinals(value, reply->type, 0);
    (void)cardinal(value);
    (void)windowValue(value);
    (void)atomList(value);
    (void)extents(value);
    (void)partialStrut(value);
    (void)text(value, utf8String);
    (void)windowClass(value);
    (void)rectangles(value);
    if (value)
        (void)icon(value->longs, 64);
    return 0;
}
