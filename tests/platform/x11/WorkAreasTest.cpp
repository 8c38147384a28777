// Per-monitor work areas from published areas, struts, _NET_WORKAREA and toolbars.
#include "platform/x11/WorkAreas.h"

#include <QTest>

using namespace panemaker::x11;
using Rects = std::vector<QRect>;
Q_DECLARE_METATYPE(panemaker::x11::DesktopReservations)
Q_DECLARE_METATYPE(Rects)

namespace {

// The test desktop: LEFT 1440×900 (primary) and RIGHT 1920×1080 to its right, tops aligned.
const QRect left(0, 0, 1440, 900), right(1440, 0, 1920, 1080);

enum Side { L, R, T, B }; // the EWMH order of a strut's sides

// A partial strut reserving `thickness` at one side along [start, end].
StrutWindow partial(Side side, int thickness, int start, int end)
{
    std::array<int, 12> v{};
    v[side] = thickness, v[4 + 2 * side] = start, v[5 + 2 * side] = end;
    return {QRect(), Strut{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]}, Extents()};
}

} // namespace

class WorkAreasTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void areas_data()
    {
        QTest::addColumn<Rects>("monitors");
        QTest::addColumn<DesktopReservations>("reservations");
        QTest::addColumn<Rects>("expected");
        const Rects two{left, right};
        // The struts' windows, then _NET_WORKAREA, the top-level windows and the published areas.
        const auto row = [&](const char *name, const std::vector<StrutWindow> &struts, const Rects &expected,
                             std::optional<QRect> workArea = {}, const Rects &topLevels = {},
                             const Rects &published = {}) {
            QTest::newRow(name) << two << DesktopReservations{QSize(3360, 1080), published, struts, workArea, topLevels}
                                << expected;
        };

        row("partial strut on top of RIGHT", {partial(T, 30, 1440, 3359)}, {left, QRect(1440, 30, 1920, 1050)});
        // Its band reaches up into LEFT, but its columns are RIGHT's.
        row("bottom strut under RIGHT only", {partial(B, 210, 1440, 3359)}, {left, QRect(1440, 0, 1920, 870)});
        row("bottom band from the left monitor's last column on", {partial(B, 210, 1439, 3359)},
            {QRect(0, 0, 1440, 870), QRect(1440, 0, 1920, 870)});
        row("strut on the shared edge reserves RIGHT only", {partial(L, 1480, 0, 1079)},
            {left, QRect(1480, 0, 1880, 1080)});
        row("bottom band ending, inclusive, on RIGHT's first column", {partial(B, 30, 0, 1440)},
            {left, QRect(1440, 0, 1920, 1050)});
        // The shorter LEFT's bottom strut is measured from the root's edge.
        row("panels on both monitors, repeated by the work area",
            {partial(B, 210, 0, 1439), partial(B, 30, 1440, 3359)},
            {QRect(0, 0, 1440, 870), QRect(1440, 0, 1920, 1050)}, QRect(0, 0, 3360, 870));
        row("legacy strut measured from its monitor's edge", {{QRect(0, 874, 1440, 26), std::nullopt, {0, 0, 0, 26}}},
            {QRect(0, 0, 1440, 874), right}, QRect(0, 0, 3360, 874));
        row("work area matched to a short toolbar, a pixel off, on the right monitor", {},
            {left, QRect(1440, 0, 1920, 1061)}, QRect(0, 0, 3360, 1060),
            {QRect(300, 200, 800, 600), QRect(2100, 1061, 600, 19)});
        row("work area without a toolbar at an edge goes to the primary monitor", {}, {QRect(0, 0, 1440, 880), right},
            QRect(0, 0, 3360, 1060), {QRect(300, 200, 800, 20)});
        row("a notification of that thickness is no toolbar", {}, {QRect(0, 0, 1440, 820), right},
            QRect(0, 0, 3360, 1000), {QRect(3040, 1000, 320, 80)});
        row("work area reserving the left edge", {}, {QRect(64, 0, 1376, 900), right}, QRect(64, 0, 3296, 1080));
        // Listed RIGHT's first: each monitor takes the one inside it.
        row("published per-monitor areas win", {partial(T, 100, 0, 3359)},
            {QRect(0, 27, 1440, 873), QRect(1440, 27, 1920, 1053)}, QRect(0, 100, 3360, 980), {},
            {QRect(1440, 27, 1920, 1053), QRect(0, 27, 1440, 873)});
        row("struts swallowing a monitor leave it whole", {partial(L, 1000, 0, 899), partial(R, 2860, 0, 899)}, two);

        const auto onMonitors = [](const char *name, const Rects &monitors, QSize screen,
                                   const std::vector<StrutWindow> &struts, const Rects &expected) {
            QTest::newRow(name) << monitors << DesktopReservations{screen, {}, struts, {}, {}} << expected;
        };
        // An L: A primary, B to its right, C below A; then a monitor above a wider one.
        const QRect a(0, 0, 1920, 1080), b(1920, 0, 1920, 1080), c(0, 1080, 1920, 1080);
        onMonitors("L: bottom struts of B and C, a legacy one on top of C", {a, b, c}, QSize(3840, 2160),
                   {partial(B, 1110, 1920, 3839),
                    partial(B, 30, 0, 1919),
                    {QRect(0, 1080, 1920, 24), std::nullopt, {0, 0, 24, 0}}},
                   {a, QRect(1920, 0, 1920, 1050), QRect(0, 1104, 1920, 1026)});
        onMonitors("stacked: a bottom strut on the upper, a top strut on the lower monitor",
                   {QRect(0, 0, 1440, 900), QRect(0, 900, 1920, 1080)}, QSize(1920, 1980),
                   {partial(B, 1105, 0, 1439), partial(T, 930, 0, 1919)},
                   {QRect(0, 0, 1440, 875), QRect(0, 930, 1920, 1050)});
    }
    void areas()
    {
        QFETCH(Rects, monitors);
        QFETCH(DesktopReservations, reservations);
        QFETCH(Rects, expected);
        QCOMPARE(workAreas(monitors, reservations), expected);
    }
};

QTEST_GUILESS_MAIN(WorkAreasTest)
#include "WorkAreasTest.moc"
