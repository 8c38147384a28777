// Frame geometry: where a snap action puts a window inside an area, and how a frame moves
// between areas. Pure functions; every frame and area is in the top-left space.
#pragma once

#include "platform/Rect.h"

#include <QPointF>
#include <QSizeF>

namespace panemaker {

// Rounds to the nearest whole number, halves away from zero (462.5 → 463, −0.5 → −1).
double nearest(double value);

// Places a unit rectangle in the area: a full gap along the area's border, one gap
// (half from each side) between neighbouring regions.
Rect gappedFrame(const Rect &unit, const Rect &area, double gap);

// Centres a window of the given size in the area; the size only shrinks, to fit inside
// the area less a gap on each side.
Rect centeredFrame(QSizeF size, const Rect &area, double gap);

// Keeps a frame's relative place and size when it moves from one area to another, then
// makes it integral (origin floored, far edges raised).
Rect mapFrame(const Rect &frame, const Rect &from, const Rect &to);

// Where to put a window that kept its own size instead of the target's: aligned with the
// target's edge nearer the area's border, centred when both are about equally far, and
// kept inside the area.
QPointF fittedOrigin(QSizeF size, const Rect &target, const Rect &area);

bool framesMatch(const Rect &a, const Rect &b, double tolerance);

} // namespace panemaker
