// Rect: a rectangle in screen points, double precision, y growing downwards or upwards
// depending on the space it was taken from.
#pragma once

#include <QLocale>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <algorithm>
#include <optional>

namespace panemaker {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width * 0.5; }
    double midY() const { return y + height * 0.5; }
    QSizeF size() const { return {width, height}; }
    double area() const { return width * height; }

    // Half-open: a point on the right or bottom edge lies outside.
    bool contains(QPointF p) const { return minX() <= p.x() && p.x() < maxX() && minY() <= p.y() && p.y() < maxY(); }

    // Nothing when the rectangles do not meet; rectangles that only touch share a
    // rectangle of zero width or height.
    std::optional<Rect> intersected(const Rect &other) const
    {
        const double left = std::max(minX(), other.minX());
        const double top = std::max(minY(), other.minY());
        const double right = std::min(maxX(), other.maxX());
        const double bottom = std::min(maxY(), other.maxY());
        if (right < left || bottom < top)
            return std::nullopt;
        return Rect{left, top, right - left, bottom - top};
    }

    // Rectangles that only share an edge do not intersect.
    bool intersects(const Rect &other) const
    {
        return std::max(minX(), other.minX()) < std::min(maxX(), other.maxX())
               && std::max(minY(), other.minY()) < std::min(maxY(), other.maxY());
    }

    // "(x, y, width, height)", each number in its shortest exact decimal form.
    QString toString() const
    {
        const auto number = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };
        return QStringLiteral("(%1, %2, %3, %4)").arg(number(x), number(y), number(width), number(height));
    }

    bool operator==(const Rect &) const = default;
};

} // namespace panemaker
