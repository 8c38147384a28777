// Frame geometry: gaps, centring, moving between areas, realigning, rounding.
#include "core/Geometry.h"
#include "core/SnapAction.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;

class GeometryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundsHalvesAwayFromZero_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("462.5") << 462.5 << 463.0;
        QTest::newRow("-0.5") << -0.5 << -1.0;
        QTest::newRow("-1.5") << -1.5 << -2.0;
        QTest::newRow("2.5") << 2.5 << 3.0;
        QTest::newRow("2.4999") << 2.4999 << 2.0;
    }
    void roundsHalvesAwayFromZero()
    {
        QFETCH(double, value);
        QFETCH(double, expected);
        QCOMPARE(nearest(value), expected);
    }

    void gappedFrames_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<Rect>("area");
        QTest::addColumn<double>("gap");
        QTest::addColumn<Rect>("expected");
        const Rect laptop{0, 25, 1440, 875};
        QTest::newRow("left half, gap 8") << SnapAction(SnapAction::leftHalf) << laptop << 8.0 << Rect{8, 33, 708, 859};
        QTest::newRow("right half, gap 8")
            << SnapAction(SnapAction::rightHalf) << laptop << 8.0 << Rect{724, 33, 708, 859};
        QTest::newRow("first third, gap 8")
            << SnapAction(SnapAction::firstThird) << laptop << 8.0 << Rect{8, 33, 468, 859};
        QTest::newRow("center third, gap 8")
            << SnapAction(SnapAction::centerThird) << laptop << 8.0 << Rect{484, 33, 472, 859};
        QTest::newRow("last third, gap 8")
            << SnapAction(SnapAction::lastThird) << laptop << 8.0 << Rect{964, 33, 468, 859};
        QTest::newRow("last two thirds, gap 8")
            << SnapAction(SnapAction::lastTwoThirds) << laptop << 8.0 << Rect{484, 33, 948, 859};
        QTest::newRow("maximize, gap 8") << SnapAction(SnapAction::maximize) << laptop << 8.0 << Rect{8, 33, 1424, 859};
        QTest::newRow("bottom right, gap 8")
            << SnapAction(SnapAction::bottomRight) << laptop << 8.0 << Rect{724, 467, 708, 425};
        QTest::newRow("top left, gap 0, 462.5 up")
            << SnapAction(SnapAction::topLeft) << laptop << 0.0 << Rect{0, 25, 720, 438};
        QTest::newRow("bottom right, gap 0, 462.5 up")
            << SnapAction(SnapAction::bottomRight) << laptop << 0.0 << Rect{720, 463, 720, 437};
        const Rect portrait{0, 0, 1080, 1895};
        QTest::newRow("portrait first third")
            << SnapAction(SnapAction::firstThird) << portrait << 10.0 << Rect{10, 10, 1060, 617};
        QTest::newRow("portrait center third")
            << SnapAction(SnapAction::centerThird) << portrait << 10.0 << Rect{10, 637, 1060, 621};
        QTest::newRow("portrait last two thirds")
            << SnapAction(SnapAction::lastTwoThirds) << portrait << 10.0 << Rect{10, 637, 1060, 1248};
        QTest::newRow("second display, negative origin")
            << SnapAction(SnapAction::rightHalf) << Rect{-1920, -180, 1920, 1080} << 8.0 << Rect{-956, -172, 948, 1064};
    }
    void gappedFrames()
    {
        QFETCH(SnapAction, action);
        QFETCH(Rect, area);
        QFETCH(double, gap);
        QFETCH(Rect, expected);
        const bool landscape = area.height <= area.width;
        QCOMPARE(gappedFrame(*action.unitRect(landscape), area, gap), expected);
    }

    void centeredFrames_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<Rect>("area");
        QTest::addColumn<double>("gap");
        QTest::addColumn<Rect>("expected");
        QTest::newRow("too wide shrinks to the area less gaps")
            << QSizeF(2000, 300) << Rect{0, 25, 1440, 875} << 10.0 << Rect{10, 313, 1420, 300};
        QTest::newRow("fits and keeps its size")
            << QSizeF(800, 600) << Rect{0, 0, 1440, 900} << 0.0 << Rect{320, 150, 800, 600};
        QTest::newRow("odd leftover rounds away from zero")
            << QSizeF(801, 601) << Rect{0, 0, 1440, 900} << 0.0 << Rect{320, 150, 801, 601};
        QTest::newRow("fractional size rounds")
            << QSizeF(100.5, 100.4) << Rect{0, 0, 1000, 1000} << 0.0 << Rect{450, 450, 101, 100};
    }
    void centeredFrames()
    {
        QFETCH(QSizeF, size);
        QFETCH(Rect, area);
        QFETCH(double, gap);
        QFETCH(Rect, expected);
        QCOMPARE(centeredFrame(size, area, gap), expected);
    }

    void mappedFrames_data()
    {
        QTest::addColumn<Rect>("frame");
        QTest::addColumn<Rect>("from");
        QTest::addColumn<Rect>("to");
        QTest::addColumn<Rect>("expected");
        const Rect left{0, 0, 1440, 900};
        const Rect right{1440, 0, 1920, 1080};
        QTest::newRow("zero-width source leaves the frame")
            << Rect{10, 20, 300, 200} << Rect{0, 0, 0, 900} << right << Rect{10, 20, 300, 200};
        QTest::newRow("zero-height source leaves the frame")
            << Rect{10, 20, 300, 200} << Rect{0, 0, 1440, 0} << right << Rect{10, 20, 300, 200};
        QTest::newRow("whole display maps to whole display") << left << left << right << right;
        QTest::newRow("right half stays the right half")
            << Rect{720, 0, 720, 900} << left << right << Rect{2400, 0, 960, 1080};
        QTest::newRow("fractions floor the origin and raise the far edge")
            << Rect{100, 100, 100, 100} << left << right << Rect{1573, 120, 134, 120};
        QTest::newRow("frame beyond the source is pulled inside")
            << Rect{1400, 800, 200, 200} << left << right << Rect{3093, 840, 267, 240};
        QTest::newRow("larger than the source is capped to the target")
            << Rect{-50, -50, 2000, 1000} << left << right << right;
    }
    void mappedFrames()
    {
        QFETCH(Rect, frame);
        QFETCH(Rect, from);
        QFETCH(Rect, to);
        QFETCH(Rect, expected);
        QCOMPARE(mapFrame(frame, from, to), expected);
    }

    void fittedOrigins_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<Rect>("target");
        QTest::addColumn<Rect>("area");
        QTest::addColumn<QPointF>("expected");
        const Rect area{0, 25, 1440, 875};
        QTest::newRow("narrow window in the right half sits on the right edge")
            << QSizeF(600, 875) << Rect{720, 25, 720, 875} << area << QPointF(840, 25);
        QTest::newRow("wide window in the right half stays inside the area")
            << QSizeF(900, 875) << Rect{720, 25, 720, 875} << area << QPointF(540, 25);
        QTest::newRow("left half aligns left") << QSizeF(600, 875) << Rect{0, 25, 720, 875} << area << QPointF(0, 25);
        QTest::newRow("center third centres on the target")
            << QSizeF(600, 400) << Rect{480, 25, 480, 875} << area << QPointF(420, 263);
        QTest::newRow("bottom half aligns to the bottom")
            << QSizeF(1440, 500) << Rect{0, 463, 1440, 437} << area << QPointF(0, 400);
        QTest::newRow("margins a point apart count as equal")
            << QSizeF(50, 100) << Rect{100.5, 0, 100, 100} << Rect{0, 0, 300, 100} << QPointF(126, 0);
        QTest::newRow("larger than the area keeps its top-left inside")
            << QSizeF(2000, 1000) << Rect{720, 25, 720, 875} << area << QPointF(0, 25);
    }
    void fittedOrigins()
    {
        QFETCH(QSizeF, size);
        QFETCH(Rect, target);
        QFETCH(Rect, area);
        QFETCH(QPointF, expected);
        QCOMPARE(fittedOrigin(size, target, area), expected);
    }

    void framesMatchWithinTolerance()
    {
        const Rect a{10, 20, 300, 400};
        QVERIFY(framesMatch(a, a, 0));
        QVERIFY(framesMatch(a, Rect{11, 19, 301, 399}, 1));
        QVERIFY(!framesMatch(a, Rect{10, 20, 302, 400}, 1));
        QVERIFY(!framesMatch(a, Rect{10, 18.5, 300, 400}, 1));
    }
};

QTEST_GUILESS_MAIN(GeometryTest)
#include "GeometryTest.moc"
