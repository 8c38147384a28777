// Per-monitor work areas from struts, _NET_WORKAREA and published per-monitor areas.
#include "platform/x11/WorkAreas.h"

#include <QTest>

using namespace panemaker::x11;
Q_DECLARE_METATYPE(panemaker::x11::DesktopReservations)

namespace {

// The test desktop: 1440×900 on the left, 1920×1080 on the right, tops aligned.
const QRect left(0, 0, 1440, 900);
const QRect right(1440, 0, 1920, 1080);
const QSize screen(3360, 1080);

Strut partial(std::array<int, 12> v)
{
    return Strut{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
}

Strut wholeEdges(int l, int r, int t, int b)
{
    return Strut{l, r, t, b, 0, 32767, 0, 32767, 0, 32767, 0, 32767};
}

} // namespace

class WorkAreasTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void areas_data()
    {
        QTest::addColumn<DesktopReservations>("reservations");
        QTest::addColumn<QRect>("leftArea");
        QTest::addColumn<QRect>("rightArea");

        QTest::newRow("nothing reserved") << DesktopReservations{screen, {}, {}, {}} << left << right;
        QTest::newRow("dock on top of the right monitor")
            << DesktopReservations{screen, {}, {partial({0, 0, 30, 0, 0, 0, 0, 0, 1440, 3359, 0, 0})}, {}} << left
            << QRect(1440, 30, 1920, 1050);
        QTest::newRow("panel along the bottom of the shorter left monitor")
            << DesktopReservations{screen, {}, {partial({0, 0, 0, 210, 0, 0, 0, 0, 0, 0, 0, 1439})}, {}}
            << QRect(0, 0, 1440, 870) << right;
        QTest::newRow("left strut whose edge falls on the right monitor")
            << DesktopReservations{screen, {}, {partial({1470, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0})}, {}} << left
            << QRect(1470, 0, 1890, 1080);
        QTest::newRow("right strut along the right monitor")
            << DesktopReservations{screen, {}, {partial({0, 50, 0, 0, 0, 0, 0, 1079, 0, 0, 0, 0})}, {}} << left
            << QRect(1440, 0, 1870, 1080);
        QTest::newRow("plain strut spans every monitor's top")
            << DesktopReservations{screen, {}, {wholeEdges(0, 0, 25, 0)}, {}} << QRect(0, 25, 1440, 875)
            << QRect(1440, 25, 1920, 1055);
        QTest::newRow("work area reserving the bottom edge without struts")
            << DesktopReservations{screen, {}, {}, QRect(0, 0, 3360, 1050)} << left << QRect(1440, 0, 1920, 1050);
        QTest::newRow("work area that only repeats the struts adds nothing")
            << DesktopReservations{screen,
                                   {},
                                   {partial({0, 0, 30, 0, 0, 0, 0, 0, 1440, 3359, 0, 0})},
                                   QRect(0, 30, 3360, 1050)}
            << left << QRect(1440, 30, 1920, 1050);
        QTest::newRow("work area reserving the left edge")
            << DesktopReservations{screen, {}, {}, QRect(64, 0, 3296, 1080)} << QRect(64, 0, 1376, 900) << right;
        QTest::newRow("published per-monitor areas win")
            << DesktopReservations{screen,
                                   {QRect(1440, 27, 1920, 1053), QRect(0, 27, 1440, 873)},
                                   {wholeEdges(0, 0, 100, 0)},
                                   QRect(0, 100, 3360, 980)}
            << QRect(0, 27, 1440, 873) << QRect(1440, 27, 1920, 1053);
        QTest::newRow("a strut swallowing a monitor leaves it whole")
            << DesktopReservations{screen, {}, {partial({0, 0, 5000, 0, 0, 0, 0, 0, 0, 1439, 0, 0})}, {}} << left
            << right;
    }
    void areas()
    {
        QFETCH(DesktopReservations, reservations);
        QFETCH(QRect, leftArea);
        QFETCH(QRect, rightArea);
        const std::vector<QRect> result = workAreas({left, right}, reservations);
        QCOMPARE(result.size(), std::size_t(2));
        QCOMPARE(result[0], leftArea);
        QCOMPARE(result[1], rightArea);
    }
};

QTEST_GUILESS_MAIN(WorkAreasTest)
#include "WorkAreasTest.moc"
