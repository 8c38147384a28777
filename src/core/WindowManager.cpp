// Performing snap actions.
#include "core/WindowManager.h"

#include "core/Geometry.h"
#include "core/Screens.h"
#include "platform/Log.h"

#include <cmath>

namespace panemaker {

namespace {

// A frame this close to the target counts as where the snap put it.
constexpr double matchTolerance = 2.0;
// A restored frame must still show this much on some display, else it is centred instead.
constexpr double visibleWidth = 100;
constexpr double visibleHeight = 50;
// The settings keep whatever space between windows they were given; beyond this it is no layout.
constexpr double maximumGap = 100;

QString frameText(const std::optional<Rect> &frame)
{
    return frame ? frame->toString() : QStringLiteral("nil");
}

} // namespace

WindowManager::WindowManager(Platform platform, const SnapPreferences &prefs, GapFilling *gapFilling)
    : m_platform(platform), m_prefs(prefs), m_gapFilling(gapFilling)
{
}

void WindowManager::cancelFillSession()
{
    if (m_gapFilling && m_gapFilling->isSessionRunning())
        m_gapFilling->close(false, QStringLiteral("cancelled"));
}

QString WindowManager::applicationName(std::int32_t pid) const
{
    return m_platform.applications.name(pid).value_or(QStringLiteral("pid %1").arg(pid));
}

WindowManager::Refusal WindowManager::perform(SnapAction action)
{
    if (!m_platform.system.isAccessTrusted()) {
        const QString line = QStringLiteral("%1: no window manager is running").arg(action.rawValue());
        Log::error(line);
        if (onNeedsAccess)
            onNeedsAccess();
        return line;
    }
    cancelFillSession();
    const std::optional<AXWindow> window = m_platform.windows.focusedWindow();
    if (window && window->pid != m_platform.system.processId())
        return perform(action, *window, std::nullopt);
    const QString frontmost =
        window ? m_platform.applications.name(window->pid).value_or(QStringLiteral("?")) : QStringLiteral("?");
    return refuse(QStringLiteral("%1: no focused window in %2").arg(action.rawValue(), frontmost), true);
}

WindowManager::Refusal WindowManager::perform(SnapAction action, const AXWindow &window,
                                              const std::optional<Screen> &screen)
{
    Windows &windows = m_platform.windows;
    cancelFillSession();
    // Named only for the log, once the window has moved: the user waits for the move alone.
    const auto app = [&] { return applicationName(window.pid); };
    const QString raw = action.rawValue();

    const std::optional<Windows::Snapshot> facts = windows.snapshot(window);
    const std::optional<Rect> before = facts ? std::optional(facts->frame) : std::nullopt;
    const std::optional<Screen> chosen = screen   ? screen
                                         : before ? screenForFrame(m_platform.displays, *before)
                                                  : std::nullopt;
    if (!before || !chosen) {
        return refuse(QStringLiteral("%1: couldn't read the frame of %2's window").arg(raw, app()), true);
    }
    if (facts->isFullScreen) {
        return refuse(QStringLiteral("%1: %2's window is full screen").arg(raw, app()), false);
    }
    // Desktops, docks, splash screens and menus have places of their own.
    if (facts->kind == Windows::Kind::other) {
        return refuse(QStringLiteral("%1: %2's window is not a normal or dialog window").arg(raw, app()), false);
    }
    double gap = usableGap();
    Rect area = m_platform.usableArea.usableArea(*chosen);
    // The restore history is keyed by the window server's id.
    const std::optional<std::uint32_t> id = facts->serverId;

    Rect target;
    switch (action) {
    case SnapAction::previousDisplay:
    case SnapAction::nextDisplay: {
        const std::optional<Screen> next =
            neighbourScreen(m_platform.displays, *chosen, action == SnapAction::nextDisplay);
        if (!next) {
            return refuse(QStringLiteral("%1: there's only one display").arg(raw), false);
        }
        const Rect nextArea = m_platform.usableArea.usableArea(*next);
        target = mapFrame(*before, area, nextArea);
        area = nextArea;
        break;
    }
    case SnapAction::restore: return restore(window, id, area, gap);
    case SnapAction::center:
        target = withRoom([&](double space) { return centeredFrame(before->size(), area, space); }, gap);
        break;
    default: {
        const Rect unit = *action.unitRect(area.height <= area.width);
        target = withRoom([&](double space) { return gappedFrame(unit, area, space); }, gap);
        break;
    }
    }

    const int result = windows.setFrame(window, target);

    std::optional<Rect> now = windows.frame(window);
    if (now && !framesMatch(target, *now, matchTolerance)) {
        // The application kept a size of its own: align it with the region's outer edge.
        const QPointF origin = fittedOrigin(now->size(), target, area);
        if (std::abs(origin.x() - now->x) > 1.0 || std::abs(origin.y() - now->y) > 1.0) {
            windows.setPosition(window, origin);
            now = windows.frame(window);
        }
    }
    Log::info(QStringLiteral("%1 %2: %3 → %4, now %5, AX result %6")
                  .arg(raw, app(), frameText(before), frameText(target), frameText(now))
                  .arg(result));
    const Rect applied = now.value_or(target);
    if (id)
        record(*id, *before, applied);
    if (m_gapFilling && m_prefs.askToFillGap() && !action.complement().isEmpty())
        m_gapFilling->start(window, Snap{action, target, now, area, gap});
    return std::nullopt;
}

WindowManager::Refusal WindowManager::restore(const AXWindow &window, std::optional<std::uint32_t> id, const Rect &area,
                                              double gap)
{
    // Not logged: a restore with nothing to go back to is an everyday press.
    if (!id || !m_history.contains(*id)) {
        m_platform.system.beep();
        return QStringLiteral("restore: the window was not snapped");
    }
    const Rect original = m_history.value(*id).original;
    forget(*id);
    for (const Screen &screen : m_platform.displays.screens()) {
        const std::optional<Rect> shown = toTopLeft(m_platform.displays, screen.frame).intersected(original);
        if (shown && shown->width >= visibleWidth && shown->height >= visibleHeight) {
            m_platform.windows.setFrame(window, original);
            return std::nullopt;
        }
    }
    // The display it was on is gone: keep its size, on the display it is on now.
    m_platform.windows.setFrame(window, centeredFrame(original.size(), area, gap));
    return std::nullopt;
}

WindowManager::Refusal WindowManager::refuse(const QString &line, bool isError) const
{
    if (isError)
        Log::error(line);
    else
        Log::info(line);
    m_platform.system.beep();
    return line;
}

void WindowManager::record(std::uint32_t id, const Rect &before, const Rect &applied)
{
    const auto existing = m_history.constFind(id);
    // Still where the last snap put it: a run of snaps keeps the frame from before the first.
    const bool continuesRun =
        existing != m_history.constEnd() && framesMatch(before, existing->applied, matchTolerance);
    m_history.insert(id, Entry{continuesRun ? existing->original : before, applied});
    m_historyOrder.removeAll(id);
    m_historyOrder.append(id);
    if (m_historyOrder.size() > historyLimit)
        m_history.remove(m_historyOrder.takeFirst());
}

void WindowManager::forget(std::uint32_t id)
{
    m_history.remove(id);
    m_historyOrder.removeAll(id);
}

double WindowManager::usableGap() const
{
    const double gap = m_prefs.windowGap();
    if (gap >= 0 && gap <= maximumGap)
        return gap;
    reportIgnoredGap(gap, QStringLiteral("it must be from 0 to %1 points").arg(maximumGap));
    return 0;
}

Rect WindowManager::withRoom(const std::function<Rect(double gap)> &cut, double &gap) const
{
    const Rect frame = cut(gap);
    if ((frame.width >= 1 && frame.height >= 1) || gap == 0)
        return frame;
    reportIgnoredGap(gap, QStringLiteral("it leaves no room for the window"));
    gap = 0;
    return cut(gap);
}

void WindowManager::reportIgnoredGap(double gap, const QString &why) const
{
    // Once for each value, not at every snap.
    const QString line = QStringLiteral("Space between windows of %1 points is taken as none: %2").arg(gap).arg(why);
    if (line != m_lastGapReport) {
        Log::info(line);
        m_lastGapReport = line;
    }
}

std::optional<Rect> WindowManager::previewFrame(SnapAction action, const Screen &screen) const
{
    const Rect area = m_platform.usableArea.usableArea(screen);
    const std::optional<Rect> unit = action.unitRect(area.height <= area.width);
    if (!unit)
        return std::nullopt;
    double gap = usableGap();
    return withRoom([&](double space) { return gappedFrame(*unit, area, space); }, gap);
}

} // namespace panemaker
