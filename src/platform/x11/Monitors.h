// Monitors: the RandR monitors, and the conversions between root coordinates and the
// program's top-left and bottom-left spaces.
#pragma once

#include "platform/Rect.h"
#include "platform/x11/XConnection.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

namespace panemaker::x11 {

struct Monitor {
    QString name;
    QRect rect; // root coordinates
    bool primary = false;
};

// Active monitors, the primary one first (or, with none primary, the one at the root
// origin). Without RandR monitors, the whole root window is the one monitor.
std::vector<Monitor> readMonitors(const XConnection &x);

// Both spaces put the first monitor's top-left corner at the origin; the bottom-left space
// flips y around that monitor's height.
struct Spaces {
    QPoint origin;
    int height = 0;

    static Spaces of(const std::vector<Monitor> &monitors);

    Rect topLeft(const QRect &root) const
    {
        return {double(root.x() - origin.x()), double(root.y() - origin.y()), double(root.width()),
                double(root.height())};
    }
    Rect bottomLeft(const QRect &root) const
    {
        const Rect r = topLeft(root);
        return {r.x, height - r.y - r.height, r.width, r.height};
    }
    QPointF bottomLeft(QPoint root) const
    {
        return {double(root.x() - origin.x()), double(height - (root.y() - origin.y()))};
    }
    // Rounded to whole pixels and kept within what X coordinates can hold.
    QRect root(const Rect &topLeft) const;
    QPoint root(QPointF topLeft) const;
};

} // namespace panemaker::x11
