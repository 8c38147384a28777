// The drag snapper's phases and zones.
#include "input/DragSnapper.h"

#include "core/Screens.h"
#include "platform/Log.h"

#include <QLineF>

namespace panemaker {

namespace {

// The pointer moves this far before the window's frame is read again.
constexpr double checkDistance = 4;
// Carried this far without the window, the pointer is doing something else (selecting text).
constexpr double giveUpDistance = 400;
constexpr double edgeBand = 3;
constexpr double sharedEdgeBand = 8;
constexpr double cornerBand = 24;
constexpr int restMs = 300;
constexpr int snapDelayMs = 80;

} // namespace

DragSnapper::DragSnapper(Platform platform, QObject *parent) : QObject(parent), m_platform(platform)
{
    m_pendingTimer.setSingleShot(true);
    m_pendingTimer.setInterval(restMs);
    connect(&m_pendingTimer, &QTimer::timeout, this, &DragSnapper::pendingFired);
}

void DragSnapper::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled) {
        m_monitor = m_platform.mouse.monitorLeftButton(
            [this](MouseMonitor::Event event, QPointF point) { handleMouse(event, point); });
        return;
    }
    m_monitor.reset();
    reset();
}

void DragSnapper::reset()
{
    m_phase = Idle{};
    cancelPending();
    m_zone.reset();
    if (showPreview)
        showPreview(std::nullopt);
}

void DragSnapper::handleMouse(MouseMonitor::Event event, QPointF point)
{
    switch (event) {
    case MouseMonitor::Event::leftDown: m_phase = Pressed{point}; break;
    case MouseMonitor::Event::leftDragged: dragged(point); break;
    case MouseMonitor::Event::leftUp: mouseUp(); break;
    }
}

void DragSnapper::dragged(QPointF point)
{
    if (const auto *pressed = std::get_if<Pressed>(&m_phase)) {
        // The window under the pointer now, not where the button went down.
        const Rect at = toTopLeft(m_platform.displays, Rect{point.x(), point.y(), 0, 0});
        const std::optional<AXWindow> window = m_platform.windows.windowAt(QPointF(at.x, at.y));
        std::optional<Windows::Snapshot> snapshot;
        if (window && m_platform.system.isAccessTrusted() && window->pid != m_platform.system.processId())
            snapshot = m_platform.windows.snapshot(*window);
        if (!snapshot || snapshot->kind != Windows::Kind::standard) {
            m_phase = Ignoring{};
            return;
        }
        m_phase = Watching{*window, snapshot->frame, pressed->start, point};
    } else if (auto *watching = std::get_if<Watching>(&m_phase)) {
        if (QLineF(watching->lastCheck, point).length() < checkDistance)
            return;
        const std::optional<Rect> now = m_platform.windows.frame(watching->window);
        if (!now || now->size() != watching->initial.size()) { // gone, or being resized
            m_phase = Ignoring{};
        } else if (now->x == watching->initial.x && now->y == watching->initial.y) {
            if (QLineF(watching->start, point).length() > giveUpDistance)
                m_phase = Ignoring{};
            else
                watching->lastCheck = point;
        } else {
            m_phase = Moving{watching->window};
            track(point);
        }
    } else if (std::holds_alternative<Moving>(m_phase)) {
        track(point);
    }
}

std::optional<SnapAction> DragSnapper::zoneAt(QPointF p, const Rect &frame, bool allowPause) const
{
    const auto edge = [&](QPointF probe, double distance) {
        const bool shared = screenAt(m_platform.displays, probe).has_value();
        return shared ? allowPause && distance <= sharedEdgeBand : distance <= edgeBand;
    };
    const bool left = edge({frame.minX() - 2, p.y()}, p.x() - frame.minX());
    const bool right = edge({frame.maxX() + 2, p.y()}, frame.maxX() - 1 - p.x());
    const bool top = edge({p.x(), frame.maxY() + 2}, frame.maxY() - 1 - p.y());
    const bool bottom = edge({p.x(), frame.minY() - 2}, p.y() - frame.minY());
    const bool nearTop = p.y() >= frame.maxY() - cornerBand, nearBottom = p.y() <= frame.minY() + cornerBand;
    const bool nearLeft = p.x() <= frame.minX() + cornerBand, nearRight = p.x() >= frame.maxX() - cornerBand;
    if ((left && nearTop) || (top && nearLeft))
        return SnapAction::topLeft;
    if ((right && nearTop) || (top && nearRight))
        return SnapAction::topRight;
    if ((left && nearBottom) || (bottom && nearLeft))
        return SnapAction::bottomLeft;
    if ((right && nearBottom) || (bottom && nearRight))
        return SnapAction::bottomRight;
    if (left)
        return SnapAction::leftHalf;
    if (right)
        return SnapAction::rightHalf;
    if (top)
        return SnapAction::maximize;
    if (!bottom)
        return std::nullopt;
    const double t = (p.x() - frame.minX()) / frame.width;
    return t < 1.0 / 3 ? SnapAction::firstThird : t < 2.0 / 3 ? SnapAction::centerThird : SnapAction::lastThird;
}

std::optional<DragSnapper::Zone> DragSnapper::zoneUnder(QPointF point) const
{
    const std::optional<Screen> screen = screenAt(m_platform.displays, point);
    if (!screen)
        return std::nullopt;
    if (const std::optional<SnapAction> action = zoneAt(point, screen->frame, false))
        return Zone{*action, *screen, false};
    if (const std::optional<SnapAction> action = zoneAt(point, screen->frame, true))
        return Zone{*action, *screen, true};
    return std::nullopt;
}

void DragSnapper::track(QPointF point)
{
    const std::optional<Zone> candidate = zoneUnder(point);
    if (!candidate) {
        if (m_zone) { // a pending zone's timer runs on: it decides afresh when it fires
            cancelPending();
            setZone(std::nullopt);
        }
        return;
    }
    if (m_zone == candidate)
        return;
    if (!candidate->needsPause) {
        cancelPending();
        setZone(candidate);
        return;
    }
    if (m_pending && m_pending->action == candidate->action && m_pending->screen == candidate->screen)
        return;
    m_zone.reset();
    if (showPreview)
        showPreview(std::nullopt);
    cancelPending();
    m_pending = candidate;
    m_pendingTimer.start();
}

void DragSnapper::pendingFired()
{
    if (!std::holds_alternative<Moving>(m_phase) || !m_pending)
        return;
    const Zone pending = *m_pending;
    cancelPending();
    if (zoneUnder(m_platform.displays.mouseLocation()) == pending)
        setZone(pending);
}

void DragSnapper::setZone(const std::optional<Zone> &zone)
{
    m_zone = zone;
    const std::optional<Rect> frame = zone && previewFrame ? previewFrame(zone->action, zone->screen) : std::nullopt;
    if (showPreview)
        showPreview(frame);
}

void DragSnapper::cancelPending()
{
    m_pendingTimer.stop();
    m_pending.reset();
}

void DragSnapper::mouseUp()
{
    if (const auto *moving = std::get_if<Moving>(&m_phase); moving && m_zone) {
        Log::info(QStringLiteral("Drag released in zone %1").arg(m_zone->action.rawValue()));
        QTimer::singleShot(snapDelayMs, this, [this, window = moving->window, zone = *m_zone] {
            if (onSnap)
                onSnap(window, zone.action, zone.screen);
        });
    }
    reset();
}

} // namespace panemaker
