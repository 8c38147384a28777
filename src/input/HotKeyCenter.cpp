// Registering the shortcuts as hot keys and reporting their presses.
#include "input/HotKeyCenter.h"

#include "platform/Log.h"

namespace panemaker {

HotKeyCenter::HotKeyCenter(HotKeys &hotKeys) : m_hotKeys(hotKeys) {}

HotKeyCenter::~HotKeyCenter()
{
    unregisterAll();
}

void HotKeyCenter::installHandler()
{
    if (m_handlerInstalled)
        return;
    const int status = m_hotKeys.installHandler([this](std::uint32_t number) { handlePress(number); });
    if (status != 0) {
        Log::error(QStringLiteral("Hot key handler install failed: %1").arg(status));
        return;
    }
    m_handlerInstalled = true;
}

void HotKeyCenter::registerShortcuts(const ShortcutMap &shortcuts)
{
    unregisterAll();
    m_refused.clear();
    QStringList failures;
    std::uint32_t number = 0;
    for (SnapAction action : SnapAction::all()) {
        ++number;
        const auto shortcut = shortcuts.find(action);
        if (shortcut == shortcuts.end())
            continue;
        const HotKeys::Registration registration =
            m_hotKeys.registerHotKey(shortcut->second.keyCode, shortcut->second.modifiers, signature, number);
        if (registration.status == 0 && registration.handle) {
            m_registered.append(*registration.handle);
            m_actionsByID.insert(number, action);
        } else {
            m_refused.insert(action);
            failures.append(action.rawValue() + QLatin1Char('=') + QString::number(registration.status));
        }
    }
    Log::info(QStringLiteral("Registered %1 shortcuts; failed: %2")
                  .arg(m_registered.size())
                  .arg(failures.join(QStringLiteral(", "))));
}

void HotKeyCenter::unregisterAll()
{
    for (HotKeys::Handle handle : std::as_const(m_registered))
        m_hotKeys.unregisterHotKey(handle);
    m_registered.clear();
    m_actionsByID.clear();
}

void HotKeyCenter::handlePress(std::uint32_t number)
{
    const auto found = m_actionsByID.constFind(number);
    if (found == m_actionsByID.constEnd())
        return;
    Log::info(QStringLiteral("Shortcut pressed: %1").arg(found->rawValue()));
    if (onPress)
        onPress(*found);
}

} // namespace panemaker
