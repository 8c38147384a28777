// The keyboard layout read from the X server through xkbcommon.
#include "platform/x11/X11KeyboardLayout.h"

#include "platform/Log.h"
#include "platform/x11/KeyTable.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace panemaker::x11 {

namespace {

// The first layout in which the A key types a Latin letter: the one shortcuts are named in.
std::optional<std::uint32_t> firstLatinLayout(xkb_keymap *keymap)
{
    const xcb_keycode_t keyA = *xKeycode(0);
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keyA);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        const xkb_keysym_t *symbols = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, keyA, layout, 0, &symbols) == 1 && symbols[0] >= XKB_KEY_a
            && symbols[0] <= XKB_KEY_z)
            return layout;
    }
    return std::nullopt;
}

} // namespace

void X11KeyboardLayout::ContextDeleter::operator()(xkb_context *context) const
{
    xkb_context_unref(context);
}

void X11KeyboardLayout::KeymapDeleter::operator()(xkb_keymap *keymap) const
{
    xkb_keymap_unref(keymap);
}

X11KeyboardLayout::X11KeyboardLayout(XConnection &x) : m_x(x)
{
    if (!x.hasXkb()) {
        Log::error(QStringLiteral("the X server has no usable XKB extension: shortcuts show no key letters"));
        return;
    }
    // The keymap comes from the server, so the context never looks for files.
    m_context.reset(
        xkb_context_new(xkb_context_flags(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES)));
    QObject::connect(&x, &XConnection::keyboardChanged, &m_eventContext, [this] { forget(); });
}

X11KeyboardLayout::~X11KeyboardLayout() = default;

std::optional<std::uint16_t> X11KeyboardLayout::virtualKeyCode(std::uint32_t nativeScanCode) const
{
    if (nativeScanCode > 255)
        return std::nullopt;
    return x11::virtualKeyCode(xcb_keycode_t(nativeScanCode));
}

std::optional<QString> X11KeyboardLayout::keyText(std::uint16_t keyCode) const
{
    const std::optional<xcb_keycode_t> keycode = xKeycode(keyCode);
    if (!keycode || !m_context)
        return std::nullopt;
    QMutexLocker lock(&m_mutex);
    if (!m_keymap)
        load();
    if (!m_keymap || !m_latinLayout)
        return std::nullopt;
    const xkb_keysym_t *symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(m_keymap.get(), *keycode, *m_latinLayout, 0, &symbols) != 1)
        return std::nullopt;
    const char32_t character = xkb_keysym_to_utf32(symbols[0]);
    if (character == 0 || QChar::category(character) == QChar::Other_Control)
        return std::nullopt;
    return QString::fromUcs4(&character, 1);
}

void X11KeyboardLayout::load() const
{
    xcb_connection_t *connection = m_x.xcb();
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0)
        return;
    m_keymap.reset(xkb_x11_keymap_new_from_device(m_context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    m_latinLayout = m_keymap ? firstLatinLayout(m_keymap.get()) : std::nullopt;
}

void X11KeyboardLayout::forget()
{
    QMutexLocker lock(&m_mutex);
    m_keymap.reset();
    m_latinLayout.reset();
}

} // namespace panemaker::x11
