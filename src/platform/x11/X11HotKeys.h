// X11HotKeys: hot keys as key grabs on the root window, one per combination of the lock
// modifiers so that a lit Caps Lock or Num Lock does not block them.
#pragma once

#include "platform/HotKeys.h"
#include "platform/x11/XConnection.h"

#include <QObject>

#include <map>
#include <vector>

namespace panemaker::x11 {

class X11HotKeys final : public QObject, public HotKeys {
    Q_OBJECT

public:
    explicit X11HotKeys(XConnection &x, QObject *parent = nullptr);
    ~X11HotKeys() override;

    int installHandler(std::function<void(std::uint32_t number)> onPress) override;
    // A combination another client holds is refused with BadAccess (10); a key this
    // keyboard lacks with BadValue (2).
    Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                                std::uint32_t number) override;
    void unregisterHotKey(Handle handle) override;
    bool deliverKeyPress(std::uint32_t keycode, std::uint32_t state) override;

private:
    struct Grab {
        xcb_keycode_t keycode;
        std::uint16_t modifiers; // X modifier mask, without lock modifiers
        std::uint32_t number;
    };

    // Every combination of Caps Lock, Num Lock and Scroll Lock on this keyboard, in ascending order.
    std::vector<std::uint16_t> lockCombinations() const;
    void readLockMasks();
    int grab(const Grab &grab);
    void ungrab(const Grab &grab);
    void ungrab(const Grab &grab, const std::vector<std::uint16_t> &lockCombinations);
    void regrabAll();
    void handleKeyPress(const xcb_generic_event_t *event);

    XConnection &m_x;
    std::function<void(std::uint32_t)> m_onPress;
    bool m_handlerInstalled = false;
    std::map<Handle, Grab> m_grabs;
    Handle m_nextHandle = 1;
    std::uint16_t m_numLockMask = 0;
    std::uint16_t m_scrollLockMask = 0;
};

} // namespace panemaker::x11
