// WindowCandidate: a window offered to fill a gap.
#pragma once

#include "platform/Windows.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace panemaker {

struct WindowCandidate {
    // How the window has to be brought back before it is placed: a hidden application wins over a
    // minimised window; a window on another display is visible.
    enum class State { visible, minimized, hidden };

    AXWindow window;
    std::optional<std::uint32_t> windowID; // keys its thumbnail; nothing when the window server does not list it
    QString title;                         // never empty: the application's name when the window has none
    QString appName;                       // "app" when the application has no name
    QImage icon;                           // the application's; null when it has none
    State state = State::visible;
};

} // namespace panemaker
