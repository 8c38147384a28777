// The launch sequence and the reactions that keep the program in step with the desktop.
#include "app/AppDelegate.h"

#include "input/Observe.h"
#include "platform/Log.h"

namespace panemaker {

AppDelegate::AppDelegate(Preferences &prefs, Platform platform, QString bundlePath, QObject *parent)
    : QObject(parent), m_prefs(prefs), m_platform(platform), m_bundlePath(std::move(bundlePath)),
      m_hotKeys(platform.hotKeys),
      m_gapFiller(GapFiller::Platform{platform.windows, platform.applications, platform.displays, platform.system,
                                      platform.stageManager, platform.thumbnails, platform.clicks},
                  [&prefs] { return prefs.showPreviews(); }),
      m_manager(WindowManager::Platform{platform.windows, platform.displays, platform.usableArea, platform.applications,
                                        platform.system},
                prefs, &m_gapFiller),
      m_dragSnapper(DragSnapper::Platform{platform.windows, platform.displays, platform.system, platform.mouse}),
      m_recording(prefs, platform.system), m_access(platform.system)
{
    // A pointer going in and out of zones shows the same window again; it goes once the drag is over.
    m_previewRelease.setSingleShot(true);
    m_previewRelease.setInterval(1000);
    connect(&m_previewRelease, &QTimer::timeout, this, [this] { delete m_dragPreview; });
}

void AppDelegate::applicationDidFinishLaunching()
{
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
    observe(&m_prefs, &Preferences::shortcuts, &Preferences::shortcutsChanged, this,
            [this](const ShortcutMap &shortcuts) {
                if (!m_recording.action())
                    m_hotKeys.registerShortcuts(shortcuts);
            });
    connect(&m_recording, &ShortcutRecording::actionChanged, this, [this](const std::optional<SnapAction> &action) {
        if (action)
            m_hotKeys.unregisterAll();
        else
            m_hotKeys.registerShortcuts(m_prefs.shortcuts());
    });

    connect(&m_access, &AccessibilityMonitor::trustedChanged, this,
            [](bool trusted) { Log::info(QStringLiteral("Accessibility %1").arg(Log::text(trusted))); });

    // Screen capture needs no permission on X11.
    Log::info(
        QStringLiteral("Launched %1: accessibility %2, screen recording %3, drag %4")
            .arg(m_bundlePath, Log::text(m_access.isTrusted()), Log::text(true), Log::text(m_prefs.dragToSnap())));
}

void AppDelegate::reopen()
{
    Log::info(QStringLiteral("Opened again while running"));
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
