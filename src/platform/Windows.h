// Windows: access to other applications' windows and the window stack.
#pragma once

#include "platform/Rect.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <optional>

namespace panemaker {

// Another application's window: its window id and the id of the process that owns it.
struct AXWindow {
    std::uint32_t id = 0;
    std::int32_t pid = 0;

    // The pid takes no part: it only says whom to ask.
    bool operator==(const AXWindow &other) const { return id == other.id; }
};

// One entry of the window stack as the window server reports it.
struct ServerWindow {
    std::uint32_t id = 0;
    std::int32_t pid = 0;
    Rect frame;    // top-left space
    int order = 0; // position in the front-to-back stack, counting entries that were left out

    bool operator==(const ServerWindow &) const = default;
};

class Windows {
public:
    enum class Kind { standard, dialog, other };

    // What a snap needs to know of a window before it moves it.
    struct Snapshot {
        Rect frame; // as frame() reads it
        bool isFullScreen = false;
        Kind kind = Kind::standard;
        std::optional<std::uint32_t> serverId; // nothing when the window server does not list it
    };

    // What offering a window to fill a gap needs to know of it; what cannot be read takes the
    // neutral value.
    struct Details {
        AXWindow window;
        Kind kind = Kind::standard;
        bool isFullScreen = false;
        bool isMinimized = false;
        bool canMinimize = true;
        bool isOnCurrentDesktop = true;
        QString title; // empty when it has none
    };

    virtual ~Windows() = default;

    // Read in one go; nothing once the window is gone or its frame cannot be read.
    virtual std::optional<Snapshot> snapshot(const AXWindow &window) const = 0;

    // The visible outer frame (top-left space): what the user sees as the window, with the
    // window manager's decorations and without invisible shadows. Nothing once it is gone.
    virtual std::optional<Rect> frame(const AXWindow &window) const = 0;
    // Moves and resizes the window so that its visible frame is `frame`, waiting briefly for
    // the window manager to carry it out. 0, or a negative platform error code.
    virtual int setFrame(const AXWindow &window, const Rect &frame) = 0;
    // Moves the window without resizing it. 0, or a negative platform error code.
    virtual int setPosition(const AXWindow &window, QPointF topLeft) = 0;
    // Raises and activates the window, bringing it back when it is minimised.
    virtual void focus(const AXWindow &window) = 0;
    virtual void minimize(const AXWindow &window) = 0;

    // The active window, nothing when there is none.
    virtual std::optional<AXWindow> focusedWindow() const = 0;
    // The topmost ordinary window under a top-left point; docks and the desktop do not count.
    virtual std::optional<AXWindow> windowAt(QPointF point) const = 0;
    // The windows of the current desktop, front to back.
    virtual QList<ServerWindow> serverWindows() const = 0;

    // Read for many windows at once, from any thread, in their order; windows that are gone are
    // left out.
    virtual QList<Details> details(const QList<AXWindow> &windows) const = 0;
};

} // namespace panemaker
