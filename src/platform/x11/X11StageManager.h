// X11StageManager: X11 desktops have no window-grouping strip.
#pragma once

#include "platform/StageManager.h"

namespace panemaker::x11 {

class X11StageManager final : public StageManager {
public:
    std::optional<bool> globallyEnabled() const override { return false; }
    std::optional<bool> autoHide() const override { return std::nullopt; }
    std::optional<QString> dockOrientation() const override { return std::nullopt; }
    bool languageIsRightToLeft() const override { return false; }
    QList<Rect> groupingWindowFrames() const override { return {}; }
    QSet<std::uint32_t> stripEntryWindowIDs() const override { return {}; }
};

} // namespace panemaker::x11
