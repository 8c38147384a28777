// StageManager: the platform's window-grouping mode and its strip of set-aside windows,
// as far as the platform has one.
#pragma once

#include "platform/Rect.h"

#include <QList>
#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>

namespace panemaker {

class StageManager {
public:
    virtual ~StageManager() = default;

    // The raw settings; nothing when unset or of another type.
    virtual std::optional<bool> globallyEnabled() const = 0;
    virtual std::optional<bool> autoHide() const = 0;
    virtual std::optional<QString> dockOrientation() const = 0;
    virtual bool languageIsRightToLeft() const = 0;

    // Frames (top-left space) of the grouping process's on-screen windows.
    virtual QList<Rect> groupingWindowFrames() const = 0;
    // Window ids that the strip's entries stand for; empty when it cannot be read.
    virtual QSet<std::uint32_t> stripEntryWindowIDs() const = 0;
};

} // namespace panemaker
