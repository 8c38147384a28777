// The usable area of a display and the grouping strip's share of it.
#include "core/UsableArea.h"

#include "core/Screens.h"

#include <cmath>

namespace panemaker {

namespace {

// The strip counts as shown on a display holding at least this many grouping windows.
constexpr int stripWindowThreshold = 2;

} // namespace

UsableArea::UsableArea(const Displays &displays, const StageManager &stageManager)
    : m_displays(displays), m_stageManager(stageManager)
{
}

Rect UsableArea::usableArea(const Screen &screen) const
{
    Rect area = toTopLeft(m_displays, screen.visibleFrame);
    if (stageManagerEnabled() && stripVisible() && stripWindowCount(screen) >= stripWindowThreshold) {
        area.width -= stripWidth;
        if (stripOnLeft())
            area.x += stripWidth;
    }
    return area;
}

bool UsableArea::stageManagerEnabled() const
{
    return m_stageManager.globallyEnabled().value_or(false);
}

bool UsableArea::stripVisible() const
{
    return !m_stageManager.autoHide().value_or(false);
}

bool UsableArea::stripOnLeft() const
{
    const std::optional<QString> dockSide = m_stageManager.dockOrientation();
    if (dockSide == QLatin1String("left"))
        return false;
    if (dockSide == QLatin1String("right"))
        return true;
    return !m_stageManager.languageIsRightToLeft();
}

int UsableArea::stripWindowCount(const Screen &screen) const
{
    const bool onLeft = stripOnLeft();
    const QList<Screen> screens = m_displays.screens();
    int count = 0;
    for (const Rect &window : m_stageManager.groupingWindowFrames()) {
        std::optional<Screen> chosen;
        double nearest = 0;
        for (const Screen &candidate : screens) {
            const Rect frame = toTopLeft(m_displays, candidate.frame);
            if (frame.minY() > window.minY() || window.maxY() > frame.maxY())
                continue;
            const double distance =
                onLeft ? std::abs(window.minX() - frame.minX()) : std::abs(frame.maxX() - window.maxX());
            if (!chosen || distance < nearest) {
                chosen = candidate;
                nearest = distance;
            }
        }
        if (chosen == screen)
            ++count;
    }
    return count;
}

QSet<std::uint32_t> UsableArea::stripWindowIDs() const
{
    if (!stageManagerEnabled())
        return {};
    return m_stageManager.stripEntryWindowIDs();
}

} // namespace panemaker
