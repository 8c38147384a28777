// FakeDisplays: a display list the test sets up, frames in the bottom-left space.
#pragma once

#include "platform/Displays.h"

#include <QRectF>

namespace panemaker {

class FakeDisplays final : public Displays {
public:
    QList<Screen> list;
    std::optional<Screen> main; // the first display when not set

    QList<Screen> screens() const override { return list; }
    std::optional<Screen> mainScreen() const override { return main || list.isEmpty() ? main : list.first(); }
    QPointF pointer; // bottom-left space
    QPointF mouseLocation() const override { return pointer; }
    QRect nativeFrame(const Rect &r) const override { return QRectF(r.x, r.y, r.width, r.height).toRect(); }

    // Adds a display whose visible frame is its whole frame.
    Screen &add(const QString &name, const Rect &frame)
    {
        list.append(Screen{name, frame, frame});
        return list.last();
    }
};

} // namespace panemaker
