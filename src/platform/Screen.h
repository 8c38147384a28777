// Screen: one display as the platform reports it, in the bottom-left space.
#pragma once

#include "platform/Rect.h"

#include <QString>

namespace panemaker {

struct Screen {
    QString name;      // the platform's name for the display, stable while it is connected
    Rect frame;        // the whole display
    Rect visibleFrame; // what the desktop leaves to application windows

    // The same display: same name and same place. A display that moved or changed
    // resolution is another display as far as remembered frames are concerned.
    bool operator==(const Screen &other) const { return name == other.name && frame == other.frame; }
};

} // namespace panemaker
