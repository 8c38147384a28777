// Display choice over the platform's display list.
#include "core/Screens.h"

#include <algorithm>

namespace panemaker {

namespace {

double flipHeight(const QList<Screen> &screens)
{
    return screens.isEmpty() ? 0 : screens.first().frame.maxY();
}

Rect flipped(const Rect &rect, double height)
{
    return {rect.minX(), height - rect.maxY(), rect.width, rect.height};
}

} // namespace

Rect toTopLeft(const Displays &displays, const Rect &rect)
{
    return flipped(rect, flipHeight(displays.screens()));
}

std::optional<Screen> screenForFrame(const Displays &displays, const Rect &frame)
{
    const QList<Screen> screens = displays.screens();
    const double height = flipHeight(screens);
    std::optional<Screen> best;
    double bestArea = 0;
    for (const Screen &screen : screens) {
        const std::optional<Rect> overlap = flipped(screen.frame, height).intersected(frame);
        if (overlap && overlap->area() > bestArea) {
            best = screen;
            bestArea = overlap->area();
        }
    }
    return best ? best : displays.mainScreen();
}

std::optional<Screen> neighbourScreen(const Displays &displays, const Screen &screen, bool forward)
{
    QList<Screen> screens = displays.screens();
    std::stable_sort(screens.begin(), screens.end(), [](const Screen &a, const Screen &b) {
        if (a.frame.minX() != b.frame.minX())
            return a.frame.minX() < b.frame.minX();
        return a.frame.maxY() > b.frame.maxY();
    });
    const qsizetype count = screens.size();
    if (count < 2)
        return std::nullopt;
    const qsizetype index = screens.indexOf(screen);
    if (index < 0)
        return std::nullopt;
    return screens.at(forward ? (index + 1) % count : (index - 1 + count) % count);
}

std::optional<Screen> screenAt(const Displays &displays, QPointF point)
{
    const QList<Screen> screens = displays.screens();
    const double height = flipHeight(screens);
    const QPointF topLeftPoint(point.x(), height - point.y());
    for (const Screen &screen : screens) {
        if (flipped(screen.frame, height).contains(topLeftPoint))
            return screen;
    }
    return std::nullopt;
}

} // namespace panemaker
