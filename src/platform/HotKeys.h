// HotKeys: system-wide keyboard shortcuts, delivered while any application is in front.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace panemaker {

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
    // `keyCode` and `modifiers` as Shortcut holds them; `signature` and `number` identify it.
    virtual Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                                        std::uint32_t number) = 0;
    virtual void unregisterHotKey(Handle handle) = 0;
};

} // namespace panemaker
