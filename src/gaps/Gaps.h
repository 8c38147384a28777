// Gaps: the regions a snap leaves for other windows.
#pragma once

#include "core/GapFilling.h"

#include <QList>
#include <QString>

namespace panemaker {

struct Gap {
    SnapAction action; // the complementary action whose region this is
    QString name;      // the region's name on this area
    Rect frame;        // where a chosen window goes (top-left space)
    Rect area;         // the usable area holding the gap, to align windows of their own size

    bool operator==(const Gap &) const = default;
};

// The gaps the snap leaves for other windows: one per complementary action, cut around the
// window where it reached beyond its target. Regions too small for a window are left out.
QList<Gap> computeGaps(const Snap &snap);

} // namespace panemaker
