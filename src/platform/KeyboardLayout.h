// KeyboardLayout: what the user's keyboard layout types on a physical key.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace panemaker {

class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;

    // The text the key with this virtual key code types without modifiers, in the first
    // layout that has Latin letters; nothing when there is no such layout or the key
    // types nothing.
    virtual std::optional<QString> keyText(std::uint16_t keyCode) const = 0;
    // The virtual key code of the physical key a key event names by the windowing system's
    // own code (Qt's native scan code); nothing for a key the program has no code for.
    virtual std::optional<std::uint16_t> virtualKeyCode(std::uint32_t nativeScanCode) const = 0;
};

} // namespace panemaker
