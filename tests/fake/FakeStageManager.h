// FakeStageManager: grouping settings and strip windows the test sets; off by default.
#pragma once

#include "platform/StageManager.h"

namespace panemaker {

class FakeStageManager final : public StageManager {
public:
    std::optional<bool> enabled;
    std::optional<bool> hidden;
    std::optional<QString> dockSide;
    bool rightToLeft = false;
    QList<Rect> groupingWindows;
    QSet<std::uint32_t> entryIDs;

    std::optional<bool> globallyEnabled() const override { return enabled; }
    std::optional<bool> autoHide() const override { return hidden; }
    std::optional<QString> dockOrientation() const override { return dockSide; }
    bool languageIsRightToLeft() const override { return rightToLeft; }
    QList<Rect> groupingWindowFrames() const override { return groupingWindows; }
    QSet<std::uint32_t> stripEntryWindowIDs() const override { return entryIDs; }
};

} // namespace panemaker
