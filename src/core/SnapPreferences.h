// SnapPreferences: what snapping reads of the user's settings; the settings store provides it.
#pragma once

namespace panemaker {

class SnapPreferences {
public:
    virtual ~SnapPreferences() = default;

    // The space between windows and the screen's edges, in points.
    virtual double windowGap() const = 0;
    // Whether a snap offers the other windows to fill the space it leaves.
    virtual bool askToFillGap() const = 0;
};

} // namespace panemaker
