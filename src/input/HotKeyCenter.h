// HotKeyCenter: the shortcuts of the settings as global hot keys, each press reported as
// its snap action.
#pragma once

#include "core/SnapAction.h"
#include "input/Shortcut.h"
#include "platform/HotKeys.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <functional>

namespace panemaker {

class HotKeyCenter final {
public:
    // Every hot key of the program carries this signature: "PANE", first character highest.
    static constexpr std::uint32_t signature = 0x50414E45;

    explicit HotKeyCenter(HotKeys &hotKeys);
    ~HotKeyCenter();
    HotKeyCenter(const HotKeyCenter &) = delete;
    HotKeyCenter &operator=(const HotKeyCenter &) = delete;

    std::function<void(SnapAction)> onPress;

    // Starts receiving presses; once it has worked, later calls do nothing.
    void installHandler();
    // Replaces whatever was registered by one hot key per action that has a shortcut. Each
    // action's number is its place in the list of all actions plus one, whatever precedes it.
    void registerShortcuts(const ShortcutMap &shortcuts);
    void unregisterAll();
    void handlePress(std::uint32_t number);

    int registeredCount() const { return int(m_registered.size()); }
    // The actions whose shortcut the system refused at the last registration (another
    // program holds the combination); kept while the hot keys are unregistered.
    const QSet<SnapAction> &refusedActions() const { return m_refused; }

private:
    HotKeys &m_hotKeys;
    bool m_handlerInstalled = false;
    QList<HotKeys::Handle> m_registered;
    QHash<std::uint32_t, SnapAction> m_actionsByID;
    QSet<SnapAction> m_refused;
};

} // namespace panemaker
