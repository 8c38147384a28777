// Displays: the platform's current list of displays.
#pragma once

#include "platform/Screen.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>

#include <optional>

namespace panemaker {

class Displays : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Every active display, the primary one first; frames in the bottom-left space.
    virtual QList<Screen> screens() const = 0;
    // The display the user is working on; nothing when there is no display at all.
    virtual std::optional<Screen> mainScreen() const = 0;
    // The pointer, in the bottom-left space.
    virtual QPointF mouseLocation() const = 0;
    // A top-left space frame in the windowing system's own coordinates, where this program's
    // windows are placed.
    virtual QRect nativeFrame(const Rect &topLeft) const = 0;

Q_SIGNALS:
    // Displays were added, removed, moved or resized.
    void changed();
};

} // namespace panemaker
