// Window images through Composite or from the screen, scaled for the picker's cards.
#include "platform/x11/X11Thumbnails.h"

#include "platform/x11/WindowFacts.h"

#include <QCoreApplication>
#include <QtEndian>

#include <xcb/composite.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace panemaker::x11 {

namespace {

class CaptureRun final : public WindowThumbnails::Run {
public:
    explicit CaptureRun(std::shared_ptr<std::atomic_bool> cancelled) : m_cancelled(std::move(cancelled)) {}
    ~CaptureRun() override { *m_cancelled = true; }

private:
    std::shared_ptr<std::atomic_bool> m_cancelled;
};

// ZPixmap data of a drawable of depth 24 or 32 at 32 bits a pixel, the only ones a desktop with
// a compositing manager or a true-colour screen gives; anything else yields a null image.
QImage imageFromReply(xcb_connection_t *c, const xcb_get_image_reply_t *reply, QSize size)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    int bitsPerPixel = 0;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == reply->depth)
            bitsPerPixel = it.data->bits_per_pixel;
    }
    const int length = xcb_get_image_data_length(reply);
    if (bitsPerPixel != 32 || (reply->depth != 24 && reply->depth != 32) || size.isEmpty()
        || length < size.width() * 4 * size.height())
        return {};
    const bool alpha = reply->depth == 32;
    const bool swap = (setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST) != (Q_BYTE_ORDER == Q_BIG_ENDIAN);
    const int stride = length / size.height();
    QImage image(size, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    const std::uint8_t *data = xcb_get_image_data(reply);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<std::uint32_t *>(image.scanLine(y));
        std::memcpy(line, data + std::size_t(y) * stride, std::size_t(size.width()) * 4);
        for (int x = 0; x < size.width(); ++x) {
            if (swap)
                line[x] = qbswap(line[x]);
            if (!alpha) // the pad byte of depth 24 is undefined; Qt wants it opaque
                line[x] |= 0xff000000u;
        }
    }
    return image;
}

} // namespace

X11Thumbnails::X11Thumbnails(const XConnection &x) : m_x(x)
{
    xcb_connection_t *c = x.xcb();
    const xcb_query_extension_reply_t *composite = xcb_get_extension_data(c, &xcb_composite_id);
    // NameWindowPixmap came with Composite 0.2.
    if (composite && composite->present) {
        const auto version = waitReply(c, xcb_composite_query_version_reply, xcb_composite_query_version(c, 0, 4));
        m_hasComposite = version && (version->major_version > 0 || version->minor_version >= 2);
    }
}

X11Thumbnails::~X11Thumbnails()
{
    m_pool.waitForDone();
}

std::unique_ptr<WindowThumbnails::Run>
X11Thumbnails::capture(const QList<std::uint32_t> &windowIds, QSize maximumSize,
                       std::function<void(std::uint32_t, const QImage &)> onImage)
{
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    auto deliver = std::make_shared<const std::function<void(std::uint32_t, const QImage &)>>(std::move(onImage));
    for (const std::uint32_t id : windowIds) {
        m_pool.start([this, id, maximumSize, cancelled, deliver] {
            if (*cancelled)
                return;
            QImage image = captureWindow(id, maximumSize);
            if (image.isNull() || *cancelled)
                return;
            // Checked again on the main thread, where runs end: an image already posted when its
            // run ended is dropped there. The application object outlives this service.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [id, image = std::move(image), cancelled, deliver] {
                    if (!*cancelled)
                        (*deliver)(id, image);
                },
                Qt::QueuedConnection);
        });
    }
    return std::make_unique<CaptureRun>(std::move(cancelled));
}

QImage X11Thumbnails::captureWindow(xcb_window_t window, QSize maximumSize) const
{
    const auto facts = readWindowFacts(m_x, window, WindowFacts::readGeometry | WindowFacts::readState);
    if (!facts || !facts->alive || facts->hasState(m_x.ewmh()->_NET_WM_STATE_HIDDEN))
        return {};
    const auto attributes =
        waitReply(m_x.xcb(), xcb_get_window_attributes_reply, xcb_get_window_attributes(m_x.xcb(), window));
    const std::optional<QRect> frame = facts->visibleFrame();
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !frame || frame->width() <= 1
        || frame->height() <= 1)
        return {};
    const double scale =
        std::min(double(maximumSize.width()) / frame->width(), double(maximumSize.height()) / frame->height());
    // A product that should come out whole (the side that fills its limit) may land a hair below.
    const QSize size(std::max(int(frame->width() * scale + 1e-9), 1), std::max(int(frame->height() * scale + 1e-9), 1));
    const QImage image = grab(window, *frame);
    return image.isNull() ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage X11Thumbnails::grab(xcb_window_t window, const QRect &frame) const
{
    xcb_connection_t *c = m_x.xcb();
    const auto owner =
        waitReply(c, xcb_get_selection_owner_reply, xcb_get_selection_owner(c, m_x.atom("_NET_WM_CM_S0")));
    if (m_hasComposite && owner && owner->owner != XCB_WINDOW_NONE) {
        if (QImage image = grabComposited(window, frame); !image.isNull())
            return image;
    }
    // Without a compositor nothing keeps a window's contents but the screen.
    const QRect part = frame.intersected(QRect(0, 0, m_x.screen()->width_in_pixels, m_x.screen()->height_in_pixels));
    if (part.isEmpty())
        return {};
    const auto image = waitReply(c, xcb_get_image_reply,
                                 xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_x.root(), std::int16_t(part.x()),
                                               std::int16_t(part.y()), std::uint16_t(part.width()),
                                               std::uint16_t(part.height()), ~0u));
    return image ? imageFromReply(c, image.get(), part.size()) : QImage();
}

QImage X11Thumbnails::grabComposited(xcb_window_t window, const QRect &frame) const
{
    // The compositor keeps each top-level window's contents whole, covered or not; the window
    // manager's frame, the client's ancestor below the root, holds the decorations as well.
    xcb_connection_t *c = m_x.xcb();
    xcb_window_t topLevel = window;
    for (;;) {
        const auto tree = waitReply(c, xcb_query_tree_reply, xcb_query_tree(c, topLevel));
        if (!tree)
            return {};
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            break;
        topLevel = tree->parent;
    }
    const auto geometry = waitReply(c, xcb_get_geometry_reply, xcb_get_geometry(c, topLevel));
    const auto origin =
        waitReply(c, xcb_translate_coordinates_reply, xcb_translate_coordinates(c, topLevel, m_x.root(), 0, 0));
    if (!geometry || !origin)
        return {};
    // The pixmap holds the border too.
    const int border = geometry->border_width;
    const QRect pixmapRect(origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
                           geometry->height + 2 * border);
    const QRect part = frame.intersected(pixmapRect).translated(-pixmapRect.topLeft());
    if (part.isEmpty())
        return {};
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    // Refused for a window not redirected (yet: a compositor owns its selection a moment before it
    // redirects the windows) or unmapped meanwhile.
    if (XReply<xcb_generic_error_t> error{
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, topLevel, pixmap))})
        return {};
    const auto image =
        waitReply(c, xcb_get_image_reply,
                  xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, std::int16_t(part.x()), std::int16_t(part.y()),
                                std::uint16_t(part.width()), std::uint16_t(part.height()), ~0u));
    xcb_free_pixmap(c, pixmap);
    xcb_flush(c);
    return image ? imageFromReply(c, image.get(), part.size()) : QImage();
}

} // namespace panemaker::x11
