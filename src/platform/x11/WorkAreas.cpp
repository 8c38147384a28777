// Per-monitor work areas.
#include "platform/x11/WorkAreas.h"

#include <algorithm>

namespace panemaker::x11 {

namespace {

struct Edges {
    int left, top, right, bottom; // right and bottom exclusive

    static Edges of(const QRect &r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    QRect rect() const { return QRect(left, top, right - left, bottom - top); }
};

bool overlaps(int start, int end, int otherStart, int otherEnd)
{
    return start < otherEnd && otherStart < end;
}

void applyStrut(Edges &area, const Edges &monitor, const Strut &strut, QSize screen)
{
    const auto spans = [](int start, int end, int lo, int hi) { return overlaps(start, end + 1, lo, hi); };
    if (strut.left > monitor.left && strut.left <= monitor.right
        && spans(strut.leftStartY, strut.leftEndY, monitor.top, monitor.bottom))
        area.left = std::max(area.left, strut.left);
    const int rightEdge = screen.width() - strut.right;
    if (strut.right > 0 && rightEdge >= monitor.left && rightEdge < monitor.right
        && spans(strut.rightStartY, strut.rightEndY, monitor.top, monitor.bottom))
        area.right = std::min(area.right, rightEdge);
    if (strut.top > monitor.top && strut.top <= monitor.bottom
        && spans(strut.topStartX, strut.topEndX, monitor.left, monitor.right))
        area.top = std::max(area.top, strut.top);
    const int bottomEdge = screen.height() - strut.bottom;
    if (strut.bottom > 0 && bottomEdge >= monitor.top && bottomEdge < monitor.bottom
        && spans(strut.bottomStartX, strut.bottomEndX, monitor.left, monitor.right))
        area.bottom = std::min(area.bottom, bottomEdge);
}

// Window managers with panels of their own reserve space in _NET_WORKAREA without any
// strut; that part belongs to the monitors along the screen edge it was taken from.
void applyWorkArea(Edges &area, const Edges &monitor, const DesktopReservations &reservations)
{
    if (!reservations.workArea || reservations.workArea->isEmpty())
        return;
    const Edges work = Edges::of(*reservations.workArea);
    const QSize screen = reservations.screen;
    Strut widest;
    for (const Strut &s : reservations.struts) {
        widest.left = std::max(widest.left, s.left);
        widest.top = std::max(widest.top, s.top);
        widest.right = std::max(widest.right, s.right);
        widest.bottom = std::max(widest.bottom, s.bottom);
    }
    if (work.left > widest.left && monitor.left == 0)
        area.left = std::max(area.left, work.left);
    if (work.top > widest.top && monitor.top == 0)
        area.top = std::max(area.top, work.top);
    if (screen.width() - work.right > widest.right && monitor.right == screen.width())
        area.right = std::min(area.right, work.right);
    if (screen.height() - work.bottom > widest.bottom && monitor.bottom == screen.height())
        area.bottom = std::min(area.bottom, work.bottom);
}

} // namespace

std::vector<QRect> workAreas(const std::vector<QRect> &monitors, const DesktopReservations &reservations)
{
    std::vector<QRect> result;
    for (const QRect &monitorRect : monitors) {
        const auto published = std::find_if(reservations.gtkWorkAreas.begin(), reservations.gtkWorkAreas.end(),
                                            [&](const QRect &area) { return monitorRect.contains(area); });
        if (published != reservations.gtkWorkAreas.end() && !published->isEmpty()) {
            result.push_back(*published);
            continue;
        }
        const Edges monitor = Edges::of(monitorRect);
        Edges area = monitor;
        for (const Strut &strut : reservations.struts)
            applyStrut(area, monitor, strut, reservations.screen);
        applyWorkArea(area, monitor, reservations);
        result.push_back(area.right > area.left && area.bottom > area.top ? area.rect() : monitorRect);
    }
    return result;
}

} // namespace panemaker::x11
