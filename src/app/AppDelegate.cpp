// The launch sequence and the reactions that keep the program in step with the desktop.
#include "app/AppDelegate.h"

#include "app/SettingsView.h"
#include "app/StatusIcon.h"
#include "input/Observe.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace panemaker {

AppDelegate::AppDelegate(Preferences &prefs, Platform platform, QString bundlePath, QString programPath,
                         QByteArray updateKey, QObject *parent)
    : QObject(parent), m_prefs(prefs), m_platform(platform), m_bundlePath(std::move(bundlePath)),
      m_hotKeys(platform.hotKeys),
      m_gapFiller(GapFiller::Platform{platform.windows, platform.applications, platform.displays, platform.system,
                                      platform.stageManager, platform.thumbnails, platform.clicks},
                  [&prefs] { return prefs.showPreviews(); }),
      m_manager(WindowManager::Platform{platform.windows, platform.displays, platform.usableArea, platform.applications,
                                        platform.system},
                prefs, &m_gapFiller),
      m_dragSnapper(DragSnapper::Platform{platform.windows, platform.displays, platform.system, platform.mouse}),
      m_recording(prefs, platform.system), m_access(platform.system),
      m_conflicts(platform.processes, platform.windowManagerSettings, platform.system),
      m_launchAtLogin(std::move(programPath)), m_updater(prefs, Bundle(m_bundlePath), std::move(updateKey))
{
    // A pointer going in and out of zones shows the same window again; it goes once the drag is over.
    m_previewRelease.setSingleShot(true);
    m_previewRelease.setInterval(1000);
    connect(&m_previewRelease, &QTimer::timeout, this, [this] { delete m_dragPreview; });
}

AppDelegate::~AppDelegate()
{
    delete m_settingsWindow;
    delete m_dragPreview;
}

void AppDelegate::applicationDidFinishLaunching()
{
    installStatusItem();
    m_hotKeys.onPress = [this](SnapAction action) { m_manager.perform(action); };
    m_hotKeys.installHandler();
    m_gapFiller.onModifiedKey = [this](std::uint32_t key, std::uint32_t modifiers) {
        return m_platform.hotKeys.deliverKeyPress(key, modifiers);
    };

    m_dragSnapper.previewFrame = [this](SnapAction action, const Screen &screen) {
        return m_manager.previewFrame(action, screen);
    };
    m_dragSnapper.onSnap = [this](const AXWindow &window, SnapAction action, const Screen &screen) {
        m_manager.perform(action, window, screen);
    };
    m_dragSnapper.showPreview = [this](const std::optional<Rect> &frame) { showDragPreview(frame); };
    observe(&m_prefs, &Preferences::dragToSnap, &Preferences::dragToSnapChanged, this,
            [this](bool enabled) { m_dragSnapper.setEnabled(enabled); });

    m_screenFrames = currentScreenFrames();
    connect(&m_platform.displays, &Displays::changed, this, &AppDelegate::displaysChanged);
    // While a shortcut is recorded every hot key is off, so that a combination that is one
    // reaches the recorder; they come back, with what was recorded, when the recording ends.
    observe(&m_prefs, &Preferences::shortcuts, &Preferences::shortcutsChanged, this, [this](const ShortcutMap &) {
        if (!m_recording.action())
            registerShortcuts();
    });
    connect(&m_recording, &ShortcutRecording::actionChanged, this, [this](const std::optional<SnapAction> &action) {
        if (action)
            m_hotKeys.unregisterAll();
        else
            registerShortcuts();
    });

    connect(&m_access, &AccessibilityMonitor::trustedChanged, this, [this](bool trusted) {
        Log::info(QStringLiteral("Accessibility %1").arg(Log::text(trusted)));
        // Another window manager may tile by itself.
        m_conflicts.refreshEdgeTiling();
    });
    m_conflicts.refreshEdgeTiling();

    connect(&m_updater, &Updater::releaseChanged, this,
            [this, offered = m_updater.release().has_value()](const std::optional<Updater::Release> &release) mutable {
                if (release.has_value() == offered)
                    return;
                offered = release.has_value();
                if (m_statusItem)
                    m_statusItem->setIcon(statusIcon());
            });
    connect(&m_prefs, &Preferences::checkForUpdatesChanged, this, [this](bool on) {
        if (on)
            m_updater.checkIfDue();
    });
    m_updater.start();

    // Screen capture needs no permission on X11.
    Log::info(
        QStringLiteral("Launched %1: accessibility %2, screen recording %3, drag %4")
            .arg(m_bundlePath, Log::text(m_access.isTrusted()), Log::text(true), Log::text(m_prefs.dragToSnap())));
    QTimer::singleShot(1000, this, &AppDelegate::ensureStatusItemVisible);
    if (!m_access.isTrusted() && !m_prefs.store().boolValue(QStringLiteral("QuietLaunch")))
        showSettings();
}

void AppDelegate::reopen()
{
    Log::info(QStringLiteral("Opened again while running"));
    showSettings();
}

void AppDelegate::installStatusItem()
{
    delete m_statusItem;
    m_icon = applicationIcon(Bundle(m_bundlePath));
    QGuiApplication::setWindowIcon(m_icon); // the settings window's too
    m_statusItem = new QSystemTrayIcon(statusIcon(), this);
    m_statusItem->setToolTip(QStringLiteral("Panemaker"));
    m_statusItem->setContextMenu(&m_statusMenu);
    connect(&m_statusMenu, &QMenu::aboutToShow, this, [this] {
        // The picker holds the keyboard, and would take it back from the menu: a click on the tray
        // icon is a click outside it.
        if (m_gapFiller.isSessionRunning())
            m_gapFiller.close(false, QStringLiteral("clicked outside"));
        populateMenu(m_statusMenu);
        m_conflicts.refreshEdgeTiling();
    });
    // Trays show the context menu on the right button; the left one opens it too.
    connect(m_statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_statusMenu.popup(QCursor::pos());
    });
    m_statusItem->show();
}

QIcon AppDelegate::statusIcon() const
{
    return m_updater.release() ? statusIconWithBadge(m_icon) : m_icon;
}

// Without a system tray the program would be out of reach: the settings window stands in for it.
void AppDelegate::ensureStatusItemVisible()
{
    const bool visible = QSystemTrayIcon::isSystemTrayAvailable() && m_statusItem;
    const QRect frame = visible ? m_statusItem->geometry() : QRect();
    Log::info(QStringLiteral("Menu bar item frame (%1, %2, %3, %4), visible: %5")
                  .arg(frame.x())
                  .arg(frame.y())
                  .arg(frame.width())
                  .arg(frame.height())
                  .arg(Log::text(visible)));
    if (!visible)
        showSettings();
}

void AppDelegate::registerShortcuts()
{
    m_hotKeys.registerShortcuts(m_prefs.shortcuts());
    if (m_settingsWindow)
        m_settingsWindow->view().setRefusedActions(m_hotKeys.refusedActions());
}

void AppDelegate::showSettings()
{
    if (!m_settingsWindow) {
        auto *view =
            new SettingsView(SettingsView::Services{m_prefs, m_access, m_recording, m_conflicts, m_launchAtLogin,
                                                    m_platform.keyboardLayout, m_platform.system, m_updater},
                             m_conflicts.runningOtherSnappers());
        view->onQuit = [] { QCoreApplication::quit(); };
        view->setRefusedActions(m_hotKeys.refusedActions());
        m_settingsWindow = new SettingsWindow(view);
        connect(m_settingsWindow, &SettingsWindow::closed, this, &AppDelegate::settingsWindowClosed);
        m_conflicts.setWatching(true);
    }
    // A shortcut another program held may have been freed since.
    if (!m_recording.action())
        registerShortcuts();
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void AppDelegate::settingsWindowClosed()
{
    m_recording.stop();
    m_conflicts.setWatching(false);
    if (m_settingsWindow)
        m_settingsWindow->deleteLater();
    m_settingsWindow = nullptr;
}

QList<Rect> AppDelegate::currentScreenFrames() const
{
    QList<Rect> frames;
    for (const Screen &screen : m_platform.displays.screens())
        frames.append(screen.frame);
    return frames;
}

void AppDelegate::displaysChanged()
{
    const QList<Rect> frames = currentScreenFrames();
    if (frames == m_screenFrames)
        return;
    m_screenFrames = frames;
    Log::info(QStringLiteral("Displays changed: %1 now").arg(frames.size()));
    if (m_gapFiller.isSessionRunning())
        m_gapFiller.close(false, QStringLiteral("cancelled"));
    m_dragSnapper.reset();
}

void AppDelegate::showDragPreview(const std::optional<Rect> &frame)
{
    if (!frame) {
        if (m_dragPreview && m_dragPreview->isVisible()) {
            m_dragPreview->hide();
            m_previewRelease.start();
        }
        return;
    }
    m_previewRelease.stop();
    const bool compositing = m_platform.system.isCompositing();
    if (m_dragPreview && m_dragPreview->isComposited() != compositing)
        delete m_dragPreview;
    if (!m_dragPreview)
        m_dragPreview = new HighlightWindow(m_platform.displays, compositing);
    m_dragPreview->showAt(*frame);
}

} // namespace panemaker
