// WindowThumbnails: small live images of other applications' windows.
#pragma once

#include <QImage>
#include <QList>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

namespace panemaker {

class WindowThumbnails {
public:
    // A capture under way; destroying it stops every delivery still to come.
    class Run {
    public:
        virtual ~Run() = default;
    };

    virtual ~WindowThumbnails() = default;

    // Captures the windows off the main thread, each scaled to fit `maximumSize` pixels with its
    // aspect ratio kept (a small window is enlarged), and hands each image to `onImage` on the main
    // thread as soon as it is ready. Windows that are not on screen are skipped without notice.
    virtual std::unique_ptr<Run> capture(const QList<std::uint32_t> &windowIds, QSize maximumSize,
                                         std::function<void(std::uint32_t, const QImage &)> onImage) = 0;
};

} // namespace panemaker
