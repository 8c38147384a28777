// Frame geometry: gaps, centring, moving between areas, realigning, rounding.
#include "core/Geometry.h"
#include "core/SnapAction.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using A = SnapAction;

namespace {

const Rect laptop{0, 25, 1440, 875}; // below a 25-point menu bar
const Rect portrait{0, 0, 1080, 1895};
const Rect left{0, 0, 1440, 900}, right{1440, 0, 1920, 1080};

Rect gapped(A action, const Rect &area, double gap)
{
    return gappedFrame(*action.unitRect(area.height <= area.width), area, gap);
}

// Where a window that kept its own size ends up.
Rect fitted(QSizeF size, const Rect &target, const Rect &area)
{
    const QPointF origin = fittedOrigin(size, target, area);
    return {origin.x(), origin.y(), size.width(), size.height()};
}

} // namespace

class GeometryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One operation on an example per row, worked out by hand. "map, outwards" floors the origin
    // and raises the far edges; "fit, 1 apart" has margins that count as equal. A window flush
    // with the far edge is checked in WindowManagerTest.
    void frames_data()
    {
        QTest::addColumn<Rect>("frame");
        QTest::addColumn<Rect>("expected");
        QTest::newRow("rounding: halves away from zero")
            << Rect{nearest(462.5), nearest(-0.5), nearest(-1.5), nearest(2.4999)} << Rect{463, -1, -2, 2};
        QTest::newRow("center third, gap 8") << gapped(A::centerThird, laptop, 8) << Rect{484, 33, 472, 859};
        QTest::newRow("bottom right, 462.5 up") << gapped(A::bottomRight, laptop, 0) << Rect{720, 463, 720, 437};
        QTest::newRow("portrait center third") << gapped(A::centerThird, portrait, 10) << Rect{10, 637, 1060, 621};
        QTest::newRow("below zero") << gapped(A::rightHalf, Rect{-1920, -180, 1920, 1080}, 8)
                                    << Rect{-956, -172, 948, 1064};

        QTest::newRow("centre, too wide, odd leftover")
            << centeredFrame({1501, 601}, left, 30) << Rect{30, 150, 1380, 601};
        QTest::newRow("centre, fractions")
            << centeredFrame({100.5, 100.4}, Rect{0, 0, 1000, 1000}, 0) << Rect{450, 450, 101, 100};

        const Rect frame{10, 20, 300, 200};
        QTest::newRow("map, no width") << mapFrame(frame, Rect{0, 0, 0, 900}, right) << frame;
        QTest::newRow("map, no height") << mapFrame(frame, Rect{0, 0, 1440, 0}, right) << frame;
        QTest::newRow("map, outwards") << mapFrame(Rect{101, 100, 98, 101}, left, right) << Rect{1574, 120, 132, 122};
        QTest::newRow("map, pulled in") << mapFrame(Rect{1400, 800, 200, 200}, left, right)
                                        << Rect{3093, 840, 267, 240};
        QTest::newRow("map, larger") << mapFrame(Rect{-50, -50, 2000, 1000}, left, right) << right;

        QTest::newRow("fit, left edge") << fitted({600, 875}, Rect{0, 25, 720, 875}, laptop) << Rect{0, 25, 600, 875};
        QTest::newRow("fit, 1 apart") << fitted({50, 100}, Rect{100.5, 0, 100, 100}, Rect{0, 0, 300, 100})
                                      << Rect{126, 0, 50, 100};
        QTest::newRow("fit, too large") << fitted({2000, 1000}, Rect{720, 25, 720, 875}, laptop)
                                        << Rect{0, 25, 2000, 1000};
    }
    void frames()
    {
        QFETCH(Rect, frame);
        QFETCH(Rect, expected);
        QCOMPARE(frame, expected);
    }

    void framesMatchWithinTolerance()
    {
        const Rect a{10, 20, 300, 400};
        QVERIFY(framesMatch(a, Rect{11, 19, 301, 399}, 1));
        for (const Rect &b :
             {Rect{12, 20, 300, 400}, Rect{10, 18, 300, 400}, Rect{10, 20, 302, 400}, Rect{10, 20, 300, 398}})
            QVERIFY(!framesMatch(a, b, 1));
    }
};

QTEST_GUILESS_MAIN(GeometryTest)
#include "GeometryTest.moc"
