// AppDelegate: owns the long-lived objects of the program and wires them together at launch.
#pragma once

#include "app/AccessibilityMonitor.h"
#include "core/UsableArea.h"
#include "core/WindowManager.h"
#include "gaps/GapFiller.h"
#include "gaps/HighlightWindow.h"
#include "input/DragSnapper.h"
#include "input/HotKeyCenter.h"
#include "input/Preferences.h"
#include "input/ShortcutRecording.h"
#include "platform/HotKeys.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
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
    };

    AppDelegate(Preferences &prefs, Platform platform, QString bundlePath, QObject *parent = nullptr);
    ~AppDelegate() override { delete m_dragPreview; }

    // Connects hot keys to the window manager, registers the shortcuts and follows changes
    // of the shortcuts and the displays.
    void applicationDidFinishLaunching();
    // Another start of the program asked this one to show itself.
    void reopen();

    WindowManager &manager() { return m_manager; }
    GapFiller &gapFiller() { return m_gapFiller; }
    DragSnapper &dragSnapper() { return m_dragSnapper; }
    ShortcutRecording &recording() { return m_recording; }
    HotKeyCenter &hotKeys() { return m_hotKeys; }

private:
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
    QPointer<HighlightWindow> m_dragPreview;
    QTimer m_previewRelease;
    QList<Rect> m_screenFrames;
};

} // namespace panemaker
