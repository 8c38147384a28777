// Frame geometry of the snap actions.
#include "core/Geometry.h"

#include <algorithm>
#include <cmath>

namespace panemaker {

namespace {

// A unit edge this close to 0 or 1 lies on the area's border rather than against a neighbour.
constexpr double borderTolerance = 0.0001;

double leadingInset(double unitEdge, double gap)
{
    return unitEdge <= borderTolerance ? gap : gap * 0.5;
}

double trailingInset(double unitEdge, double gap)
{
    return unitEdge >= 1 - borderTolerance ? gap : gap * 0.5;
}

// Puts a length at one end of a span, or centres it when the span's margins differ by at
// most a point.
double alignedStart(double targetMin, double targetMax, double length, double marginBefore, double marginAfter)
{
    if (std::abs(marginBefore - marginAfter) <= 1.0)
        return (targetMin + targetMax - length) * 0.5;
    if (marginAfter < marginBefore)
        return targetMax - length;
    return targetMin;
}

} // namespace

double nearest(double value)
{
    return std::round(value);
}

Rect gappedFrame(const Rect &unit, const Rect &area, double gap)
{
    const double left = nearest(area.minX() + unit.minX() * area.width + leadingInset(unit.minX(), gap));
    const double right = nearest(area.minX() + unit.maxX() * area.width - trailingInset(unit.maxX(), gap));
    const double top = nearest(area.minY() + unit.minY() * area.height + leadingInset(unit.minY(), gap));
    const double bottom = nearest(area.minY() + unit.maxY() * area.height - trailingInset(unit.maxY(), gap));
    return {left, top, right - left, bottom - top};
}

Rect centeredFrame(QSizeF size, const Rect &area, double gap)
{
    const double w = std::min(area.width - 2 * gap, size.width());
    const double h = std::min(area.height - 2 * gap, size.height());
    return {nearest(area.midX() - w * 0.5), nearest(area.midY() - h * 0.5), nearest(w), nearest(h)};
}

Rect mapFrame(const Rect &frame, const Rect &from, const Rect &to)
{
    if (from.width <= 0 || from.height <= 0)
        return frame;
    const double sx = to.width / from.width;
    const double sy = to.height / from.height;
    const double w = std::min(sx * frame.width, to.width);
    const double h = std::min(sy * frame.height, to.height);
    double x = to.minX() + sx * (frame.minX() - from.minX());
    double y = to.minY() + sy * (frame.minY() - from.minY());
    x = std::min(std::max(x, to.minX()), to.maxX() - w);
    y = std::min(std::max(y, to.minY()), to.maxY() - h);

    const double left = std::floor(x);
    const double top = std::floor(y);
    return {left, top, std::ceil(x + w) - left, std::ceil(y + h) - top};
}

QPointF fittedOrigin(QSizeF size, const Rect &target, const Rect &area)
{
    const double x = alignedStart(target.minX(), target.maxX(), size.width(), target.minX() - area.minX(),
                                  area.maxX() - target.maxX());
    const double y = alignedStart(target.minY(), target.maxY(), size.height(), target.minY() - area.minY(),
                                  area.maxY() - target.maxY());
    // std::clamp would assert when the window is larger than the area; the lower bound wins.
    return {nearest(std::max(area.minX(), std::min(area.maxX() - size.width(), x))),
            nearest(std::max(area.minY(), std::min(area.maxY() - size.height(), y)))};
}

bool framesMatch(const Rect &a, const Rect &b, double tolerance)
{
    return std::abs(a.minX() - b.minX()) <= tolerance && std::abs(a.minY() - b.minY()) <= tolerance
           && std::abs(a.width - b.width) <= tolerance && std::abs(a.height - b.height) <= tolerance;
}

} // namespace panemaker
