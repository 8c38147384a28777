// Gap computation.
#include "gaps/Gaps.h"

#include "core/Geometry.h"

namespace panemaker {

namespace {

constexpr double minimumPieceWidth = 160;
constexpr double minimumPieceHeight = 120;

// The part of a complementary region that the window, reaching into it, leaves free.
std::optional<Rect> freePiece(const Rect &region, const Rect &target, const Rect &window, double gap)
{
    QList<Rect> pieces;
    if (target.maxX() - 1 <= region.minX()) {
        const double x = window.maxX() + gap;
        pieces.append({x, region.minY(), region.maxX() - x, region.height});
    }
    if (region.maxX() <= target.minX() + 1)
        pieces.append({region.minX(), region.minY(), window.minX() - gap - region.minX(), region.height});
    if (target.maxY() - 1 <= region.minY()) {
        const double y = window.maxY() + gap;
        pieces.append({region.minX(), y, region.width, region.maxY() - y});
    }
    if (region.maxY() <= target.minY() + 1)
        pieces.append({region.minX(), region.minY(), region.width, window.minY() - gap - region.minY()});

    std::optional<Rect> best;
    for (const Rect &piece : pieces) {
        if (piece.width < minimumPieceWidth || piece.height < minimumPieceHeight || piece.intersects(window))
            continue;
        if (!best || piece.area() > best->area())
            best = piece;
    }
    return best;
}

} // namespace

QList<Gap> computeGaps(const Snap &snap)
{
    const Rect window = snap.applied.value_or(snap.target);
    const bool landscape = snap.area.height <= snap.area.width;
    QList<Gap> gaps;
    for (SnapAction other : snap.action.complement()) {
        const Rect region = gappedFrame(*other.unitRect(landscape), snap.area, snap.gap);
        std::optional<Rect> frame = region;
        if (region.intersects(window))
            frame = freePiece(region, snap.target, window, snap.gap);
        if (frame)
            gaps.append(Gap{other, other.regionName(!landscape), *frame, snap.area});
    }
    return gaps;
}

} // namespace panemaker
