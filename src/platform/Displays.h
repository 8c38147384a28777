// Displays: the platform's current list of displays.
#pragma once

#include "platform/Screen.h"

#include <QList>

#include <optional>

namespace panemaker {

class Displays {
public:
    virtual ~Displays() = default;

    // Every active display, the primary one first; frames in the bottom-left space.
    virtual QList<Screen> screens() const = 0;
    // The display the user is working on; nothing when there is no display at all.
    virtual std::optional<Screen> mainScreen() const = 0;
};

} // namespace panemaker
