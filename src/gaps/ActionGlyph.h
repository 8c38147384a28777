// ActionGlyph: the small picture of a snap action shown in the picker's header and the settings.
#pragma once

#include "core/SnapAction.h"

#include <QImage>

namespace panemaker {

// A template image (black on transparent, meant to be tinted) at device pixel ratio 2: a
// miniature screen with the action's region filled, or an arrow for the actions without a
// region. Made once per action and kept.
QImage actionGlyph(SnapAction action);

// The glyph with every opaque pixel in the given colour.
QImage tintedGlyph(const QImage &glyph, const QColor &colour);

} // namespace panemaker
