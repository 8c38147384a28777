// UsableArea: the part of a display that snaps may use, and the window-grouping strip that
// can narrow it.
#pragma once

#include "platform/Displays.h"
#include "platform/Rect.h"
#include "platform/StageManager.h"

#include <QSet>

#include <cstdint>

namespace panemaker {

class UsableArea final {
public:
    static constexpr double stripWidth = 190;

    UsableArea(const Displays &displays, const StageManager &stageManager);

    // The display's visible frame in the top-left space, less the strip where it shows on it.
    // Reads everything afresh: a changed setting counts at the next call.
    Rect usableArea(const Screen &screen) const;

    bool stageManagerEnabled() const;
    bool stripVisible() const;
    bool stripOnLeft() const;
    int stripWindowCount(const Screen &screen) const;
    // Ids of the windows parked in the strip; empty when grouping is off. Any thread.
    QSet<std::uint32_t> stripWindowIDs() const;

private:
    const Displays &m_displays;
    const StageManager &m_stageManager;
};

} // namespace panemaker
