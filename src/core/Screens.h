// Display choice and the conversion between the bottom-left and top-left spaces.
#pragma once

#include "platform/Displays.h"
#include "platform/Rect.h"

#include <QPointF>

#include <optional>

namespace panemaker {

// Converts a rectangle between the bottom-left space and the top-left space (the
// conversion is its own inverse), flipping around the first display's top edge.
Rect toTopLeft(const Displays &displays, const Rect &rect);

// The display showing the largest part of a top-left frame; the earlier display wins a tie
// and the main display stands in when none shows any of it.
std::optional<Screen> screenForFrame(const Displays &displays, const Rect &frame);

// The next or previous display from left to right (upper first where they stack),
// wrapping around; nothing with fewer than two displays or for an unknown one.
std::optional<Screen> neighbourScreen(const Displays &displays, const Screen &screen, bool forward);

// The display containing a bottom-left point, such as the pointer; right and bottom
// edges belong to the neighbour.
std::optional<Screen> screenAt(const Displays &displays, QPointF point);

} // namespace panemaker
