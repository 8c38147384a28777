// ShortcutRecording: captures a new shortcut for one snap action from the next key the user
// presses in the settings window.
#pragma once

#include "core/SnapAction.h"
#include "input/Preferences.h"
#include "platform/System.h"

#include <QObject>

#include <cstdint>
#include <optional>

namespace panemaker {

class ShortcutRecording final : public QObject {
    Q_OBJECT

public:
    ShortcutRecording(Preferences &prefs, System &system, QObject *parent = nullptr);

    // The action being recorded; nothing while no recording runs.
    const std::optional<SnapAction> &action() const { return m_action; }

    // Ends any recording, then records this action.
    void start(SnapAction action);
    // Ends the recording, if any, without changing a shortcut.
    void stop();
    // A key-down event of the settings window (virtual key code, event modifier flags). Returns
    // whether it was consumed: while a recording runs, every key is.
    bool handleKey(std::uint16_t keyCode, std::uint64_t flags);

Q_SIGNALS:
    void actionChanged(const std::optional<panemaker::SnapAction> &action);

private:
    Preferences &m_prefs;
    System &m_system;
    std::optional<SnapAction> m_action;
};

} // namespace panemaker
