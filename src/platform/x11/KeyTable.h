// KeyTable: virtual key codes to X keycodes and hot key modifiers to X masks, both ways.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace panemaker::x11 {

// The X keycode of the physical key (Linux evdev code + 8) at the virtual key code's
// position; nothing for a code the table does not know.
std::optional<xcb_keycode_t> xKeycode(std::uint32_t virtualKeyCode);
// The inverse of xKeycode.
std::optional<std::uint16_t> virtualKeyCode(xcb_keycode_t keycode);

// HotKeyModifier bits as an X modifier mask: Command is Mod4 (Super), Option Mod1 (Alt).
// Other bits are dropped.
std::uint16_t xModifierMask(std::uint32_t hotKeyModifiers);
// The HotKeyModifier bits of an X event state; lock modifiers and buttons are dropped.
std::uint32_t hotKeyModifiers(std::uint16_t xState);

} // namespace panemaker::x11
