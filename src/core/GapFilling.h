// GapFilling: what the window manager hands over after a snap so that the space the window
// left can be filled with other windows.
#pragma once

#include "core/SnapAction.h"
#include "platform/Rect.h"
#include "platform/Windows.h"

#include <QString>

#include <optional>

namespace panemaker {

// Where a snap put a window, and within what.
struct Snap {
    SnapAction action;
    Rect target;                 // the frame the action asked for (top-left space)
    std::optional<Rect> applied; // the frame read back after the move; nothing when unreadable
    Rect area;                   // the usable area the window was snapped in
    double gap = 0;              // the space between windows the snap kept
};

class GapFilling {
public:
    virtual ~GapFilling() = default;
    virtual bool isSessionRunning() const = 0;
    virtual void close(bool refocus, const QString &reason) = 0;
    // Starts filling the space the snap left around the window, even when it left none.
    virtual void start(const AXWindow &snapped, const Snap &snap) = 0;
};

} // namespace panemaker
