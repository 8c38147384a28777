// WindowManagerSettings: the window manager's own switches that matter to this program.
#pragma once

#include <QString>

namespace panemaker {

// Whether the window manager tiles a window dragged to a screen edge by itself.
enum class EdgeTilingState { off, on, unknown };

class WindowManagerSettings {
public:
    virtual ~WindowManagerSettings() = default;

    // The edge tiling of the window manager with this name (as it calls itself on its check
    // window). May run that desktop's settings tool: call it off the main thread.
    virtual EdgeTilingState edgeTiling(const QString &windowManagerName) const = 0;
    // Starts that window manager's settings tool, where edge tiling is switched; false when
    // it has none installed.
    virtual bool openTilingSettings(const QString &windowManagerName) = 0;
};

} // namespace panemaker
