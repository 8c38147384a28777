// Gaps: the regions a snap leaves for other windows, and the service that fills them.
#pragma once

#include "core/Rect.h"
#include "core/SnapAction.h"
#include "platform/Windows.h"

#include <QList>
#include <QString>

#include <optional>

namespace panemaker {

struct Gap {
    SnapAction action; // the complementary action whose region this is
    QString name;      // the region's name on this area
    Rect frame;        // where a chosen window goes (top-left space)
    Rect area;         // the usable area holding the gap, to align windows of their own size

    bool operator==(const Gap &) const = default;
};

// The gaps after snapping with `action` to `target` in `area`: one per complementary
// action, cut around the window where it reached beyond its target (`applied` is where it
// really is, nothing when unreadable). Regions too small for a window are left out.
QList<Gap> computeGaps(SnapAction action, const Rect &target, const std::optional<Rect> &applied, const Rect &area,
                       double gap);

// What the window manager needs of gap filling.
class GapFilling {
public:
    virtual ~GapFilling() = default;
    virtual bool isSessionRunning() const = 0;
    virtual void close(bool refocus, const QString &reason) = 0;
    // Starts filling the gaps around the snapped window; an empty list starts nothing.
    virtual void start(const AXWindow &snapped, const QList<Gap> &gaps) = 0;
};

} // namespace panemaker
