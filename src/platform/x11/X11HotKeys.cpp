// Hot keys on X11.
#include "platform/x11/X11HotKeys.h"

#include "platform/x11/KeyTable.h"

#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <iterator>
#include <set>

namespace panemaker::x11 {

namespace {

constexpr xcb_keysym_t numLockKeysym = 0xff7f;    // XK_Num_Lock
constexpr xcb_keysym_t scrollLockKeysym = 0xff14; // XK_Scroll_Lock

// The modifier mask (Mod1 … Mod5) that holds a key with this keysym; 0 when none does.
std::uint16_t maskOfKeysym(xcb_connection_t *c, xcb_keysym_t keysym)
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    if (!symbols)
        return 0;
    XReply<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(symbols, keysym));
    xcb_key_symbols_free(symbols);
    const auto mapping = waitReply(c, xcb_get_modifier_mapping_reply, xcb_get_modifier_mapping(c));
    if (!keycodes || !mapping)
        return 0;
    const xcb_keycode_t *modifierKeys = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t key = modifierKeys[modifier * perModifier + i];
            for (const xcb_keycode_t *k = keycodes.get(); key && *k; ++k) {
                if (*k == key)
                    return std::uint16_t(1 << modifier);
            }
        }
    }
    return 0;
}

} // namespace

X11HotKeys::X11HotKeys(XConnection &x, QObject *parent) : QObject(parent), m_x(x)
{
    readLockMasks();
}

X11HotKeys::~X11HotKeys()
{
    for (const auto &[handle, grab] : m_grabs)
        ungrab(grab);
    m_x.flush();
}

void X11HotKeys::readLockMasks()
{
    m_numLockMask = maskOfKeysym(m_x.xcb(), numLockKeysym);
    m_scrollLockMask = maskOfKeysym(m_x.xcb(), scrollLockKeysym);
}

std::vector<std::uint16_t> X11HotKeys::lockCombinations() const
{
    std::set<std::uint16_t> combinations;
    for (std::uint16_t caps : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK)})
        for (std::uint16_t num : {std::uint16_t(0), m_numLockMask})
            for (std::uint16_t scroll : {std::uint16_t(0), m_scrollLockMask})
                combinations.insert(caps | num | scroll);
    return {combinations.begin(), combinations.end()};
}

int X11HotKeys::installHandler(std::function<void(std::uint32_t number)> onPress)
{
    m_onPress = std::move(onPress);
    if (!m_handlerInstalled) {
        m_x.onEvent(XCB_KEY_PRESS, this, [this](const xcb_generic_event_t *event) { handleKeyPress(event); });
        // A new keyboard mapping can move Num Lock to another modifier: grab anew.
        connect(&m_x, &XConnection::keyboardChanged, this, &X11HotKeys::regrabAll);
        m_handlerInstalled = true;
    }
    return 0;
}

int X11HotKeys::grab(const Grab &grab)
{
    xcb_connection_t *c = m_x.xcb();
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t locks : lockCombinations())
        cookies.push_back(xcb_grab_key_checked(c, 0, m_x.root(), grab.modifiers | locks, grab.keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    int status = 0;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            if (status == 0)
                status = error->error_code;
            std::free(error);
        }
    }
    // Half a hot key is worse than none: release the variants that were granted.
    if (status != 0)
        ungrab(grab);
    return status;
}

void X11HotKeys::ungrab(const Grab &grab)
{
    ungrab(grab, lockCombinations());
}

void X11HotKeys::ungrab(const Grab &grab, const std::vector<std::uint16_t> &lockCombinations)
{
    for (std::uint16_t locks : lockCombinations)
        xcb_ungrab_key(m_x.xcb(), grab.keycode, m_x.root(), grab.modifiers | locks);
}

HotKeys::Registration X11HotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t,
                                                 std::uint32_t number)
{
    const std::optional<xcb_keycode_t> keycode = xKeycode(keyCode);
    if (!keycode)
        return {XCB_VALUE, std::nullopt};
    const Grab wanted{*keycode, xModifierMask(modifiers), number};
    const int status = grab(wanted);
    m_x.flush();
    if (status != 0)
        return {status, std::nullopt};
    m_grabs.emplace(m_nextHandle, wanted);
    return {0, m_nextHandle++};
}

void X11HotKeys::unregisterHotKey(Handle handle)
{
    const auto found = m_grabs.find(handle);
    if (found == m_grabs.end())
        return;
    ungrab(found->second);
    m_grabs.erase(found);
    m_x.flush();
}

void X11HotKeys::regrabAll()
{
    // Each switch between keyboards (a second one, XTEST) is announced as a new keyboard, but keycodes
    // are fixed: only lock keys on other modifiers need other grabs. The new ones are taken before the
    // old ones are let go, so that no press slips through to the focused window in between.
    const std::vector<std::uint16_t> before = lockCombinations();
    readLockMasks();
    const std::vector<std::uint16_t> now = lockCombinations();
    if (now == before)
        return;
    std::vector<std::uint16_t> stale;
    std::ranges::set_difference(before, now, std::back_inserter(stale));
    for (const auto &[handle, grab] : m_grabs) {
        this->grab(grab);
        ungrab(grab, stale);
    }
    m_x.flush();
}

void X11HotKeys::handleKeyPress(const xcb_generic_event_t *event)
{
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    deliverKeyPress(press->detail, press->state);
}

bool X11HotKeys::deliverKeyPress(std::uint32_t keycode, std::uint32_t state)
{
    // Lit lock keys and other modifiers take no part in which hot key was pressed.
    const std::uint16_t modifiers = xModifierMask(hotKeyModifiers(std::uint16_t(state)));
    for (const auto &[handle, grab] : m_grabs) {
        if (grab.keycode == keycode && grab.modifiers == modifiers) {
            if (m_onPress)
                m_onPress(grab.number);
            return true;
        }
    }
    return false;
}

} // namespace panemaker::x11
