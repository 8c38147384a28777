// X11Thumbnails: images of other windows for the picker's cards, captured off the main thread.
#pragma once

#include "platform/WindowThumbnails.h"
#include "platform/x11/XConnection.h"

#include <QThreadPool>

namespace panemaker::x11 {

class X11Thumbnails final : public WindowThumbnails {
public:
    // Captures through `x` from worker threads: an xcb connection may be used from any thread.
    explicit X11Thumbnails(const XConnection &x);
    // Waits for the captures under way, which use the connection.
    ~X11Thumbnails() override;

    std::unique_ptr<Run> capture(const QList<std::uint32_t> &windowIds, QSize maximumSize,
                                 std::function<void(std::uint32_t, const QImage &)> onImage) override;

    // One window as the user sees it, scaled to fit `maximumSize`; a null image when it is not on
    // screen, gone, or at most 1 pixel wide or high. Blocks; any thread.
    QImage captureWindow(xcb_window_t window, QSize maximumSize) const;

private:
    // The frame's pixels: from the compositor's copy of the window when there is one, else from the screen.
    QImage grab(xcb_window_t window, const QRect &frame) const;
    QImage grabComposited(xcb_window_t window, const QRect &frame) const;

    const XConnection &m_x;
    bool m_hasComposite = false;
    QThreadPool m_pool;
};

} // namespace panemaker::x11
