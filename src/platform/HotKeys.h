// HotKeys: system-wide keyboard shortcuts, delivered while any application is in front.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace panemaker {

// Bits of a hot key's modifier mask. Any other bit is carried along but shown and converted
// as if absent.
namespace HotKeyModifier {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
} // namespace HotKeyModifier

class HotKeys {
public:
    using Handle = std::uint64_t;

    struct Registration {
        int status = 0;               // 0, or the platform's reason for refusing
        std::optional<Handle> handle; // set when the hot key is registered
    };

    virtual ~HotKeys() = default;

    // Delivers every press of a registered hot key, on the main thread, as the number it
    // was registered with. Returns 0, or the platform's status when presses cannot be received.
    virtual int installHandler(std::function<void(std::uint32_t number)> onPress) = 0;
    // `keyCode` is a virtual key code and `modifiers` HotKeyModifier bits; `signature` and `number` identify it.
    virtual Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                                        std::uint32_t number) = 0;
    virtual void unregisterHotKey(Handle handle) = 0;
    // A key press that reached one of this program's own windows while it held the keyboard, as
    // the windowing system reports it: delivered like a hot key press when it is one (true).
    virtual bool deliverKeyPress(std::uint32_t nativeKey, std::uint32_t nativeModifiers) = 0;
};

} // namespace panemaker
