// X11WindowManagerSettings: the edge tiling switch of the window managers that have one, read
// through their desktop's own tool where installed, else from their settings file.
#pragma once

#include "platform/WindowManagerSettings.h"

namespace panemaker::x11 {

class X11WindowManagerSettings final : public WindowManagerSettings {
public:
    // Runs at most a few short tools, each given 2 seconds at most.
    EdgeTilingState edgeTiling(const QString &windowManagerName) const override;
    bool openTilingSettings(const QString &windowManagerName) override;
};

} // namespace panemaker::x11
