// X11KeyboardLayout: what keys type in the first Latin layout of the X server's keymap.
#pragma once

#include "platform/KeyboardLayout.h"
#include "platform/x11/XConnection.h"

#include <QMutex>
#include <QObject>

#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;

namespace panemaker::x11 {

class X11KeyboardLayout final : public KeyboardLayout {
public:
    // Watches the server's keyboard mapping; the keymap itself is read when first needed and
    // read again after each change. Without the XKB extension no key types anything.
    explicit X11KeyboardLayout(XConnection &x);
    ~X11KeyboardLayout() override;
    X11KeyboardLayout(const X11KeyboardLayout &) = delete;
    X11KeyboardLayout &operator=(const X11KeyboardLayout &) = delete;

    // Safe from any thread.
    std::optional<QString> keyText(std::uint16_t keyCode) const override;
    // Qt's native scan code on X11 is the X keycode.
    std::optional<std::uint16_t> virtualKeyCode(std::uint32_t nativeScanCode) const override;

private:
    struct ContextDeleter {
        void operator()(xkb_context *context) const;
    };
    struct KeymapDeleter {
        void operator()(xkb_keymap *keymap) const;
    };

    void load() const;
    void forget();

    XConnection &m_x;
    std::unique_ptr<xkb_context, ContextDeleter> m_context; // set once the XKB extension is in use
    mutable QMutex m_mutex;
    mutable std::unique_ptr<xkb_keymap, KeymapDeleter> m_keymap;
    mutable std::optional<std::uint32_t> m_latinLayout;
    // Ends the event subscription with the object.
    QObject m_eventContext;
};

} // namespace panemaker::x11
