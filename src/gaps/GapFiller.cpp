// The gap-filling session.
#include "gaps/GapFiller.h"

#include "core/Geometry.h"
#include "gaps/ActionGlyph.h"
#include "gaps/WindowList.h"
#include "platform/Log.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace panemaker {

namespace {

constexpr int emptyPickerMs = 1600;
constexpr int regainKeyboardDelayMs = 50;
constexpr int holdFocusAfterPresentMs = 400;
constexpr int holdFocusAfterPlacingMs = 600;
constexpr qsizetype thumbnailLimit = 30;
constexpr QSize thumbnailPixels{344, 212};
// Thumbnails are captured at twice the size they are shown at.
constexpr double thumbnailPixelRatio = 2;
// A window this much off the gap's size keeps a size of its own.
constexpr double sizeTolerance = 2;

} // namespace

GapFiller::GapFiller(Platform platform, std::function<bool()> showPreviews, QObject *parent)
    : QObject(parent), m_platform(platform), m_showPreviews(std::move(showPreviews))
{
}

GapFiller::~GapFiller()
{
    delete m_picker;
    delete m_highlight;
}

void GapFiller::start(const AXWindow &snapped, const Snap &snap)
{
    start(snapped, computeGaps(snap));
}

void GapFiller::start(const AXWindow &snapped, const QList<Gap> &gaps)
{
    if (m_session)
        close(false, QStringLiteral("cancelled"));
    if (gaps.isEmpty())
        return;
    const int generation = ++m_generation;
    m_session = Session{snapped, gaps, gaps.size(), {}, {}, {}};
    showHighlight(gaps.first().frame);
    WindowList::candidates(
        {m_platform.windows, m_platform.applications, m_platform.stageManager}, {snapped}, m_listing, this,
        [this, generation](const QList<WindowCandidate> &candidates) { candidatesArrived(generation, candidates); });
}

void GapFiller::candidatesArrived(int generation, const QList<WindowCandidate> &candidates)
{
    if (generation != m_generation || !m_session)
        return;
    Log::info(QStringLiteral("Gap picker: %1 candidate windows").arg(candidates.size()));
    if (candidates.isEmpty()) {
        showEmptyPicker();
        return;
    }
    m_session->candidates = candidates;
    presentCurrentGap();
    startThumbnails();
}

void GapFiller::presentCurrentGap()
{
    if (!m_session || m_session->gaps.isEmpty()) {
        close(true, QStringLiteral("all gaps filled"));
        return;
    }
    QList<WindowCandidate> remaining;
    std::ranges::copy_if(m_session->candidates, std::back_inserter(remaining),
                         [&](const WindowCandidate &c) { return !m_session->placed.contains(c.window); });
    if (remaining.isEmpty()) {
        close(true, QStringLiteral("no windows left to place"));
        return;
    }
    const Gap &gap = m_session->gaps.first();
    showHighlight(gap.frame);
    ensurePicker();
    QString label = gap.name;
    if (m_session->total >= 2) {
        const qsizetype number = m_session->total - m_session->gaps.size() + 1;
        label += QStringLiteral("  \u00B7  %1 of %2").arg(number).arg(m_session->total);
    }
    m_picker->setCandidates(remaining);
    m_picker->setThumbnails(m_session->thumbnails);
    m_picker->setQuery(QString());
    m_picker->setGlyph(actionGlyph(gap.action));
    m_picker->setRegionText(label);
    m_holdFocusUntil.setRemainingTime(holdFocusAfterPresentMs);
    m_picker->present(gap.frame);
    monitorClicks();
}

void GapFiller::showEmptyPicker()
{
    if (!m_session || m_session->gaps.isEmpty())
        return;
    const Gap &gap = m_session->gaps.first();
    ensurePicker();
    m_picker->setCandidates({});
    m_picker->setThumbnails({});
    m_picker->setQuery(QString());
    m_picker->setGlyph(actionGlyph(gap.action));
    m_picker->setRegionText(gap.name);
    m_picker->present(gap.frame);
    monitorClicks();
    QTimer::singleShot(emptyPickerMs, this, [this, generation = m_generation] {
        if (generation == m_generation)
            close(false, QStringLiteral("no other windows on this desktop"));
    });
}

void GapFiller::startThumbnails()
{
    if (!m_showPreviews())
        return;
    QList<std::uint32_t> ids;
    for (const WindowCandidate &c :
         m_session->candidates.first(std::min(thumbnailLimit, m_session->candidates.size()))) {
        if (c.state == WindowCandidate::State::visible && c.windowID)
            ids.append(*c.windowID);
    }
    if (ids.isEmpty())
        return;
    m_thumbnails = m_platform.thumbnails.capture(
        ids, thumbnailPixels, [this, generation = m_generation](std::uint32_t id, const QImage &captured) {
            if (generation != m_generation || !m_session)
                return;
            QImage image = captured;
            image.setDevicePixelRatio(thumbnailPixelRatio);
            m_session->thumbnails.insert(id, image);
            if (m_picker)
                m_picker->setThumbnail(image, id);
        });
}

void GapFiller::pickerLostKeyboard()
{
    if (!m_session)
        return;
    QTimer::singleShot(regainKeyboardDelayMs, this, [this] {
        if (!m_session || !m_picker || m_picker->isKey())
            return;
        // The user has moved on once another application is in front, and only then.
        QList<std::int32_t> ours{m_session->snapped.pid};
        for (const AXWindow &placed : std::as_const(m_session->placed))
            ours.append(placed.pid);
        const std::optional<AXWindow> front = m_platform.windows.focusedWindow();
        if (!m_holdFocusUntil.hasExpired() || (front && ours.contains(front->pid)))
            m_picker->makeKey();
    });
}

void GapFiller::close(bool refocus, const QString &reason)
{
    Log::info(QStringLiteral("Gap picker closed: %1 (%2 previews)")
                  .arg(reason)
                  .arg(m_session ? m_session->thumbnails.size() : 0));
    const std::optional<Session> ended = std::exchange(m_session, std::nullopt);
    ++m_generation;
    m_thumbnails.reset();
    if (m_picker) {
        m_picker->disconnect(this);
        m_picker->hide();
        m_picker->deleteLater();
        m_picker = nullptr;
    }
    if (m_highlight) {
        m_highlight->hide();
        m_highlight->deleteLater();
        m_highlight = nullptr;
    }
    m_clickMonitor.reset();
    if (refocus && ended && !ended->placed.isEmpty())
        m_platform.windows.focus(ended->snapped);
}

void GapFiller::place(const WindowCandidate &candidate)
{
    if (!m_session || m_session->gaps.isEmpty())
        return;
    const Gap gap = m_session->gaps.takeFirst();
    const AXWindow &window = candidate.window;
    if (candidate.state == WindowCandidate::State::hidden)
        m_platform.applications.unhide(window.pid);
    // A minimised window is brought back first: window managers place only windows they show.
    if (candidate.state == WindowCandidate::State::minimized)
        m_platform.windows.focus(window);
    m_platform.windows.setFrame(window, gap.frame);
    if (const std::optional<Rect> now = m_platform.windows.frame(window)) {
        if (std::abs(now->width - gap.frame.width) > sizeTolerance
            || std::abs(now->height - gap.frame.height) > sizeTolerance)
            m_platform.windows.setPosition(window, fittedOrigin(now->size(), gap.frame, gap.area));
    }
    m_holdFocusUntil.setRemainingTime(holdFocusAfterPlacingMs);
    m_platform.windows.focus(window);
    m_session->placed.append(window);
    presentCurrentGap();
}

void GapFiller::ensurePicker()
{
    if (m_picker)
        return;
    m_picker = new GapPickerPanel(m_platform.displays, m_platform.system);
    m_picker->onPick = [this](const WindowCandidate &candidate) { place(candidate); };
    m_picker->onDismiss = [this] { close(true, QStringLiteral("dismissed with esc")); };
    m_picker->onModifiedKey = [this](std::uint32_t key, std::uint32_t modifiers) {
        return onModifiedKey && onModifiedKey(key, modifiers);
    };
    connect(m_picker, &GapPickerPanel::resignedKey, this, &GapFiller::pickerLostKeyboard);
}

void GapFiller::showHighlight(const Rect &frame)
{
    if (!m_highlight)
        m_highlight = new HighlightWindow(m_platform.displays, m_platform.system.isCompositing());
    m_highlight->showAt(frame);
}

void GapFiller::monitorClicks()
{
    if (m_clickMonitor)
        return;
    // Closed once the monitor has finished delivering the click, unless the session has ended by then.
    m_clickMonitor = m_platform.clicks.monitorClicks([this] {
        QMetaObject::invokeMethod(
            this,
            [this, generation = m_generation] {
                if (generation == m_generation && m_session)
                    close(false, QStringLiteral("clicked outside"));
            },
            Qt::QueuedConnection);
    });
}

} // namespace panemaker
