// SettingsView: the settings window's one page, bound to the live objects of the program.
#pragma once

#include "app/AccessibilityMonitor.h"
#include "app/ConflictDetection.h"
#include "app/LaunchAtLogin.h"
#include "input/Preferences.h"
#include "input/ShortcutRecording.h"
#include "platform/KeyboardLayout.h"
#include "update/Updater.h"

#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSlider>
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
        Updater &updater;
    };

    // `otherSnappers` is the list taken when the window was built; later lists come from
    // the conflict detection's change signal.
    SettingsView(Services services, QList<OtherSnapper> otherSnappers, QWidget *parent = nullptr);
    ~SettingsView() override;

    // The actions whose shortcut another program holds, so that it could not be registered.
    void setRefusedActions(const QSet<SnapAction> &actions);

    // "Quit Panemaker" was chosen.
    std::function<void()> onQuit;

protected:
    // While a shortcut is recorded: every key pressed in this window.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The time since the last update check has moved on while the window was closed.
    void showEvent(QShowEvent *event) override;

private:
    // One action's shortcut field, its clear button and the note that another program holds it.
    struct ShortcutRow {
        SnapAction action;
        QPushButton *field;
        QWidget *clear;
        QLabel *refused;
    };

    QPixmap appIcon() const;
    void updateConflicts();
    void showGap(double gap);
    void updateShortcuts();
    void followRecording();
    void showUpdateStatus();

    Services m_services;
    QList<OtherSnapper> m_otherSnappers;
    EdgeTilingState m_edgeTiling;
    QWidget *m_access = nullptr;
    QWidget *m_tilingRow = nullptr;
    QLabel *m_tilingSymbol = nullptr;
    QLabel *m_tilingText = nullptr;
    QWidget *m_snappersRow = nullptr;
    QLabel *m_snappersText = nullptr;
    QPushButton *m_quitSnappers = nullptr;
    QSlider *m_gapSlider = nullptr;
    QLabel *m_gapLabel = nullptr;
    QList<ShortcutRow> m_shortcutRows;
    QLabel *m_updateText = nullptr;
    QPushButton *m_updateButton = nullptr;
};

} // namespace panemaker
