// The recorder's rules: Delete clears, Escape cancels, a combination with Command, Option or
// Control (or a function key) is stored, anything else beeps and keeps recording.
#include "input/ShortcutRecording.h"

namespace panemaker {

namespace {

constexpr std::uint16_t deleteKey = 51, forwardDeleteKey = 117, escapeKey = 53;

bool isAccepted(const Shortcut &shortcut)
{
    constexpr std::uint32_t needed = HotKeyModifier::command | HotKeyModifier::option | HotKeyModifier::control;
    return (shortcut.modifiers & needed) || Shortcut::functionKeyNumbers().contains(shortcut.keyCode);
}

} // namespace

ShortcutRecording::ShortcutRecording(Preferences &prefs, System &system, QObject *parent)
    : QObject(parent), m_prefs(prefs), m_system(system)
{
}

void ShortcutRecording::start(SnapAction action)
{
    stop();
    m_action = action;
    Q_EMIT actionChanged(m_action);
}

void ShortcutRecording::stop()
{
    if (!m_action)
        return;
    m_action.reset();
    Q_EMIT actionChanged(m_action);
}

bool ShortcutRecording::handleKey(std::uint16_t keyCode, std::uint64_t flags)
{
    if (!m_action)
        return false;
    // Caps Lock and the other flags are dropped here, so a lit Caps Lock changes nothing.
    const Shortcut shortcut = Shortcut::fromKeyEvent(keyCode, flags);
    if (shortcut.modifiers == 0 && (keyCode == deleteKey || keyCode == forwardDeleteKey)) {
        m_prefs.setShortcut(std::nullopt, *m_action);
        stop();
        return true;
    }
    if (shortcut.modifiers == 0 && keyCode == escapeKey) {
        stop();
        return true;
    }
    if (!isAccepted(shortcut)) {
        m_system.beep();
        return true;
    }
    // Stored while the action is still set: the hot keys are registered again once, by stop().
    m_prefs.setShortcut(shortcut, *m_action);
    stop();
    return true;
}

} // namespace panemaker
