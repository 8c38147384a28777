// AppDelegate: owns the long-lived objects of the program and wires them together at launch.
#pragma once

#include "app/AccessibilityMonitor.h"
#include "app/ConflictDetection.h"
#include "app/LaunchAtLogin.h"
#include "app/SettingsWindow.h"
#include "core/UsableArea.h"
#include "core/WindowManager.h"
#include "gaps/GapFiller.h"
#include "gaps/HighlightWindow.h"
#include "input/DragSnapper.h"
#include "input/HotKeyCenter.h"
#include "input/Preferences.h"
#include "input/ShortcutRecording.h"
#include "platform/HotKeys.h"
#include "platform/KeyboardLayout.h"
#include "platform/Processes.h"
#include "platform/WindowManagerSettings.h"
#include "update/Updater.h"

#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

namespace panemaker {

class AppDelegate final : public QObject {
    Q_OBJECT

public:
    struct Platform {
        Windows &windows;
        Displays &displays;
        const UsableArea &usableArea;
        Applications &applications;
        System &system;
        HotKeys &hotKeys;
        const StageManager &stageManager;
        WindowThumbnails &thumbnails;
        ClickMonitor &clicks;
        MouseMonitor &mouse;
        Processes &processes;
        WindowManagerSettings &windowManagerSettings;
        const KeyboardLayout &keyboardLayout;
    };

    // `programPath` is the executable, which the autostart entry runs; updates must be signed
    // by the owner of `updateKey`.
    AppDelegate(Preferences &prefs, Platform platform, QString bundlePath, QString programPath,
                QByteArray updateKey = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Installs the tray icon, connects hot keys to the window manager, registers the shortcuts,
    // follows changes of the settings and the displays, and opens the settings window when no
    // window manager runs.
    void applicationDidFinishLaunching();
    // Another start of the program asked this one to show itself.
    void reopen();
    void showSettings();

    // Empties the menu and fills it with what the program can do now.
    void populateMenu(QMenu &menu);
    QMenu &statusMenu() { return m_statusMenu; }
    SettingsWindow *settingsWindow() const { return m_settingsWindow; }
    // The actions whose shortcut another program holds.
    const QSet<SnapAction> &refusedActions() const { return m_hotKeys.refusedActions(); }

    WindowManager &manager() { return m_manager; }
    GapFiller &gapFiller() { return m_gapFiller; }
    DragSnapper &dragSnapper() { return m_dragSnapper; }
    ShortcutRecording &recording() { return m_recording; }
    HotKeyCenter &hotKeys() { return m_hotKeys; }
    Updater &updater() { return m_updater; }

private:
    void installStatusItem();
    // The tray's icon, badged while an update is offered.
    QIcon statusIcon() const;
    void ensureStatusItemVisible();
    void registerShortcuts();
    void settingsWindowClosed();
    void displaysChanged();
    void showDragPreview(const std::optional<Rect> &frame);
    QList<Rect> currentScreenFrames() const;

    Preferences &m_prefs;
    Platform m_platform;
    QString m_bundlePath;
    HotKeyCenter m_hotKeys;
    GapFiller m_gapFiller;
    WindowManager m_manager;
    DragSnapper m_dragSnapper;
    ShortcutRecording m_recording;
    AccessibilityMonitor m_access;
    ConflictDetection m_conflicts;
    LaunchAtLogin m_launchAtLogin;
    Updater m_updater;
    QMenu m_statusMenu;
    QSystemTrayIcon *m_statusItem = nullptr;
    QIcon m_icon;
    QPointer<SettingsWindow> m_settingsWindow;
    QPointer<HighlightWindow> m_dragPreview;
    QTimer m_previewRelease;
    QList<Rect> m_screenFrames;
};

} // namespace panemaker
