// Per-monitor work areas.
#include "platform/x11/WorkAreas.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace panemaker::x11 {

namespace {

enum Side { left, top, right, bottom };
constexpr Side allSides[] = {left, top, right, bottom};

// A rectangle as the coordinates of its sides, indexed by Side; right and bottom exclusive.
using Sides = std::array<int, 4>;

// How far off a toolbar may be from the edge and the thickness it explains: borders.
constexpr int bandTolerance = 2;

Sides sidesOf(const QRect &r)
{
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QRect rectOf(const Sides &s)
{
    return QRect(s[left], s[top], s[right] - s[left], s[bottom] - s[top]);
}

// Reservations at the left and top grow towards larger coordinates, the others towards smaller.
bool isStart(Side side)
{
    return side == left || side == top;
}

Side opposite(Side side)
{
    return Side((side + 2) % 4);
}

// The first of the two sides that bound an edge's length: top for the left and right edges.
Side alongStart(Side side)
{
    return side == left || side == right ? top : left;
}

int thickness(const Sides &r, Side side)
{
    return std::abs(r[side] - r[opposite(side)]);
}

void reserve(Sides &area, Side side, int line)
{
    area[side] = isStart(side) ? std::max(area[side], line) : std::min(area[side], line);
}

struct Band {
    int thickness, start, end; // start and end inclusive, as window managers read them
};

Band bandOf(const Strut &s, Side side)
{
    switch (side) {
    case left: return {s.left, s.leftStartY, s.leftEndY};
    case top: return {s.top, s.topStartX, s.topEndX};
    case right: return {s.right, s.rightStartY, s.rightEndY};
    case bottom: return {s.bottom, s.bottomStartX, s.bottomEndX};
    }
    return {};
}

int legacyThickness(const Extents &e, Side side)
{
    switch (side) {
    case left: return e.left;
    case top: return e.top;
    case right: return e.right;
    case bottom: return e.bottom;
    }
    return 0;
}

// A partial strut's band is measured from the root window's edge; it belongs to the monitor
// that its inner edge crosses.
void applyPartialStrut(Sides &area, const Sides &monitor, const Strut &strut, const Sides &screen)
{
    for (Side side : allSides) {
        const Band band = bandOf(strut, side);
        if (band.thickness <= 0)
            continue;
        const int line = isStart(side) ? screen[side] + band.thickness : screen[side] - band.thickness;
        const bool crossesMonitor = isStart(side) ? monitor[side] < line && line <= monitor[opposite(side)]
                                                  : monitor[opposite(side)] <= line && line < monitor[side];
        const Side a = alongStart(side);
        const bool alongMonitor = band.start < monitor[opposite(a)] && monitor[a] <= band.end;
        if (crossesMonitor && alongMonitor)
            reserve(area, side, line);
    }
}

std::size_t monitorHolding(const std::vector<Sides> &monitors, const QRect &window)
{
    std::size_t best = 0;
    qint64 bestArea = -1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const QRect shared = rectOf(monitors[i]).intersected(window);
        const qint64 area = qint64(shared.width()) * shared.height();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

// Whether a window lies along a monitor's edge as a toolbar of that thickness does: at the
// edge, about that thick, and along at least a quarter of it.
bool formsBand(const Sides &window, const Sides &monitor, Side side, int bandThickness)
{
    const Side a = alongStart(side);
    const int shared = std::min(window[opposite(a)], monitor[opposite(a)]) - std::max(window[a], monitor[a]);
    return std::abs(window[side] - monitor[side]) <= bandTolerance
           && std::abs(thickness(window, side) - bandThickness) <= bandTolerance && shared * 4 >= thickness(monitor, a);
}

void applyWorkArea(std::vector<Sides> &areas, const std::vector<Sides> &monitors,
                   const DesktopReservations &reservations, const Sides &screen)
{
    if (!reservations.workArea || reservations.workArea->isEmpty())
        return;
    const Sides work = sidesOf(*reservations.workArea);
    for (Side side : allSides) {
        const int line = work[side];
        const int reserved = isStart(side) ? line - screen[side] : screen[side] - line;
        if (reserved <= 0)
            continue;
        bool explained = false;
        for (std::size_t i = 0; i < monitors.size(); ++i)
            explained = explained || areas[i][side] == line || monitors[i][side] == line;
        if (explained)
            continue;
        bool placed = false;
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            for (const QRect &topLevel : reservations.topLevels) {
                const Sides window = sidesOf(topLevel);
                if (formsBand(window, monitors[i], side, reserved)) {
                    reserve(areas[i], side, window[opposite(side)]);
                    placed = true;
                    break;
                }
            }
        }
        if (!placed)
            reserve(areas.front(), side, monitors.front()[side] + (isStart(side) ? reserved : -reserved));
    }
}

} // namespace

std::vector<QRect> workAreas(const std::vector<QRect> &monitorRects, const DesktopReservations &reservations)
{
    if (monitorRects.empty())
        return {};
    const Sides screen = sidesOf(QRect(QPoint(0, 0), reservations.screen));
    std::vector<Sides> monitors;
    for (const QRect &monitor : monitorRects)
        monitors.push_back(sidesOf(monitor));
    std::vector<Sides> areas = monitors;
    for (const StrutWindow &window : reservations.struts) {
        if (window.partial) {
            for (std::size_t i = 0; i < monitors.size(); ++i)
                applyPartialStrut(areas[i], monitors[i], *window.partial, screen);
            continue;
        }
        const std::size_t i = monitorHolding(monitors, window.geometry);
        const Sides geometry = sidesOf(window.geometry);
        for (Side side : allSides) {
            if (legacyThickness(window.strut, side) > 0)
                reserve(areas[i], side, geometry[opposite(side)]);
        }
    }
    applyWorkArea(areas, monitors, reservations, screen);

    std::vector<QRect> result;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const QRect &monitor = monitorRects[i];
        const auto published =
            std::find_if(reservations.gtkWorkAreas.begin(), reservations.gtkWorkAreas.end(),
                         [&](const QRect &area) { return !area.isEmpty() && monitor.contains(area); });
        const QRect area = rectOf(areas[i]);
        result.push_back(published != reservations.gtkWorkAreas.end() ? *published
                         : area.isValid() && !area.isEmpty()          ? area
                                                                      : monitor);
    }
    return result;
}

} // namespace panemaker::x11
