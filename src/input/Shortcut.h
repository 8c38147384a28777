// Shortcut: a global keyboard shortcut (virtual key code and modifier mask), its JSON
// form, the default table, and the text it is shown with.
#pragma once

#include "core/SnapAction.h"
#include "platform/HotKeys.h"
#include "platform/KeyboardLayout.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>

namespace panemaker {

// Modifier flags of key events and menu items.
namespace EventModifier {
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
} // namespace EventModifier

struct Shortcut;
using ShortcutMap = std::map<SnapAction, Shortcut>;

struct Shortcut {
    std::uint32_t keyCode = 0;   // virtual key code: a key position, whatever the layout
    std::uint32_t modifiers = 0; // HotKeyModifier bits

    // From a key-down event's key code and modifier flags; flags other than the four
    // modifiers (Caps Lock, Function, keypad, ...) are dropped.
    static Shortcut fromKeyEvent(std::uint16_t keyCode, std::uint64_t flags);

    // The EventModifier flags of the modifiers, for a menu item's key equivalent.
    std::uint64_t menuModifierFlags() const;

    // Modifier symbols in the order ⌃⌥⇧⌘, then the key's name.
    QString displayText(const KeyboardLayout &layout) const;
    // The menu key equivalent, or nothing when the key has none in this layout.
    std::optional<QString> keyEquivalent(const KeyboardLayout &layout) const;

    static QString keyName(std::uint32_t keyCode, const KeyboardLayout &layout);
    // What the layout types on the key, upper-cased; nothing when it types nothing.
    static std::optional<QString> layoutCharacter(std::uint32_t keyCode, const KeyboardLayout &layout);

    QJsonObject toJson() const;
    // Both members must be whole numbers in the unsigned 32-bit range; other members are ignored.
    static std::optional<Shortcut> fromJson(const QJsonValue &json);

    // One shortcut per action, no two alike.
    static const ShortcutMap &defaultShortcuts();
    // The virtual key codes of F1 to F20, to their number.
    static const std::map<std::uint32_t, int> &functionKeyNumbers();

    bool operator==(const Shortcut &) const = default;
};

size_t qHash(const Shortcut &shortcut, size_t seed = 0);

} // namespace panemaker
