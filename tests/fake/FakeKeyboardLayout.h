// FakeKeyboardLayout: a keyboard layout with the keys the test gives it; none when empty.
#pragma once

#include "platform/KeyboardLayout.h"

#include <map>

namespace panemaker {

class FakeKeyboardLayout final : public KeyboardLayout {
public:
    std::map<std::uint16_t, QString> keys;

    std::optional<QString> keyText(std::uint16_t keyCode) const override
    {
        const auto found = keys.find(keyCode);
        return found == keys.end() ? std::nullopt : std::optional(found->second);
    }

    // Native codes are the virtual key codes plus 1000, so that mixing them up shows.
    std::optional<std::uint16_t> virtualKeyCode(std::uint32_t nativeScanCode) const override
    {
        if (nativeScanCode < 1000 || nativeScanCode > 1000 + 0xffff)
            return std::nullopt;
        return std::uint16_t(nativeScanCode - 1000);
    }

    // The letter keys of a US layout that the default shortcuts use, and A.
    static FakeKeyboardLayout us()
    {
        FakeKeyboardLayout layout;
        layout.keys = {{0, QStringLiteral("a")},  {2, QStringLiteral("d")},  {3, QStringLiteral("f")},
                       {5, QStringLiteral("g")},  {8, QStringLiteral("c")},  {14, QStringLiteral("e")},
                       {17, QStringLiteral("t")}, {32, QStringLiteral("u")}, {34, QStringLiteral("i")},
                       {38, QStringLiteral("j")}, {40, QStringLiteral("k")}};
        return layout;
    }
};

} // namespace panemaker
