// SettingsView: the settings window's one page, bound to the live objects of the program.
#pragma once

#include "app/AccessibilityMonitor.h"
#include "app/ConflictDetection.h"
#include "app/LaunchAtLogin.h"
#include "input/Preferences.h"
#include "input/ShortcutRecording.h"
#include "platform/KeyboardLayout.h"

#include <QSet>
#include <QWidget>

#include <functional>

namespace panemaker {

class SettingsView final : public QWidget {
    Q_OBJECT

public:
    struct Services {
        Preferences &prefs;
        AccessibilityMonitor &access;
        ShortcutRecording &recorder;
        ConflictDetection &conflicts;
        LaunchAtLogin &launchAtLogin;
        const KeyboardLayout &layout;
        System &system;
    };

    // `otherSnappers` is the list taken when the window was built; later lists come from
    // the conflict detection's change signal.
    SettingsView(Services services, QList<OtherSnapper> otherSnappers, QWidget *parent = nullptr);

    // The actions whose shortcut another program holds, so that it could not be registered.
    void setRefusedActions(const QSet<SnapAction> &actions);

    // "Quit Panemaker" was chosen.
    std::function<void()> onQuit;
};

} // namespace panemaker
