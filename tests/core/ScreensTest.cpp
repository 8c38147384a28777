// Display choice and coordinate conversion over a fake display list.
#include "core/Screens.h"
#include "fake/FakeDisplays.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;

namespace panemaker {
inline char *toString(const Screen &screen)
{
    return qstrdup(qPrintable(screen.name + screen.frame.toString()));
}
} // namespace panemaker

class ScreensTest : public QObject {
    Q_OBJECT

    // The test desktop: 1440×900 primary on the left, 1920×1080 to its right, both
    // aligned at the top (bottom-left space: the taller one reaches below y = 0).
    static void sideBySide(FakeDisplays &displays)
    {
        displays.add(QStringLiteral("LEFT"), Rect{0, 0, 1440, 900});
        displays.add(QStringLiteral("RIGHT"), Rect{1440, -180, 1920, 1080});
    }

private Q_SLOTS:
    void convertsBetweenSpaces()
    {
        FakeDisplays displays;
        sideBySide(displays);
        QCOMPARE(toTopLeft(displays, Rect{1440, -180, 1920, 1080}), (Rect{1440, 0, 1920, 1080}));
        QCOMPARE(toTopLeft(displays, Rect{0, 25, 1440, 875}), (Rect{0, 0, 1440, 875}));
        const Rect r{12, 34, 56, 78};
        QCOMPARE(toTopLeft(displays, toTopLeft(displays, r)), r);
        QCOMPARE(toTopLeft(FakeDisplays(), r), (Rect{12, -112, 56, 78}));
    }

    void picksTheDisplayShowingMost_data()
    {
        QTest::addColumn<Rect>("frame");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside the right display") << Rect{1600, 100, 400, 300} << QStringLiteral("RIGHT");
        QTest::newRow("mostly left") << Rect{1000, 100, 600, 300} << QStringLiteral("LEFT");
        QTest::newRow("mostly right") << Rect{1300, 100, 600, 300} << QStringLiteral("RIGHT");
        QTest::newRow("even split goes to the earlier display") << Rect{1340, 100, 200, 300} << QStringLiteral("LEFT");
        QTest::newRow("below the left display, on the taller right")
            << Rect{1400, 950, 200, 100} << QStringLiteral("RIGHT");
        QTest::newRow("off every display falls back to main") << Rect{5000, 5000, 10, 10} << QStringLiteral("MAIN");
        QTest::newRow("touching an edge only falls back to main") << Rect{3360, 0, 100, 100} << QStringLiteral("MAIN");
    }
    void picksTheDisplayShowingMost()
    {
        QFETCH(Rect, frame);
        QFETCH(QString, expected);
        FakeDisplays displays;
        sideBySide(displays);
        displays.main = Screen{QStringLiteral("MAIN"), {}, {}};
        QCOMPARE(screenForFrame(displays, frame)->name, expected);
    }

    void noDisplaysGivesNothing()
    {
        QCOMPARE(screenForFrame(FakeDisplays(), Rect{0, 0, 10, 10}), std::nullopt);
        QCOMPARE(screenAt(FakeDisplays(), QPointF(0, 0)), std::nullopt);
    }

    void neighboursWrapAroundFromLeftToRight()
    {
        FakeDisplays displays;
        const Screen primary = displays.add(QStringLiteral("primary"), Rect{0, 0, 1440, 900});
        const Screen right = displays.add(QStringLiteral("right"), Rect{1440, 0, 1920, 1080});
        const Screen left = displays.add(QStringLiteral("left"), Rect{-1920, 0, 1920, 1080});
        QCOMPARE(neighbourScreen(displays, right, true), left);
        QCOMPARE(neighbourScreen(displays, left, false), right);
        QCOMPARE(neighbourScreen(displays, primary, true), right);
        QCOMPARE(neighbourScreen(displays, primary, false), left);
    }

    void stackedDisplaysGoUpperFirst()
    {
        FakeDisplays displays;
        const Screen lower = displays.add(QStringLiteral("lower"), Rect{0, 0, 1440, 900});
        const Screen upper = displays.add(QStringLiteral("upper"), Rect{0, 900, 1440, 900});
        const Screen side = displays.add(QStringLiteral("side"), Rect{1440, 0, 1440, 900});
        QCOMPARE(neighbourScreen(displays, upper, true), lower);
        QCOMPARE(neighbourScreen(displays, lower, true), side);
        QCOMPARE(neighbourScreen(displays, side, true), upper);
    }

    void noNeighbourForOneDisplayOrAnUnknownOne()
    {
        FakeDisplays one;
        const Screen only = one.add(QStringLiteral("only"), Rect{0, 0, 1440, 900});
        QCOMPARE(neighbourScreen(one, only, true), std::nullopt);
        FakeDisplays two;
        sideBySide(two);
        // Same name, but it moved: no longer the same display.
        QCOMPARE(neighbourScreen(two, Screen{QStringLiteral("LEFT"), Rect{0, 0, 1280, 800}, {}}, true), std::nullopt);
    }

    void pointsBelongToHalfOpenDisplays_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QString>("expected");
        QTest::newRow("origin") << QPointF(0, 899) << QStringLiteral("LEFT");
        QTest::newRow("right edge of the left display") << QPointF(1440, 500) << QStringLiteral("RIGHT");
        QTest::newRow("just left of that edge") << QPointF(1439.5, 500) << QStringLiteral("LEFT");
        QTest::newRow("top edge belongs to the display") << QPointF(100, 900) << QStringLiteral("LEFT");
        QTest::newRow("bottom edge does not") << QPointF(100, 0) << QString();
        QTest::newRow("under the left display") << QPointF(100, -10) << QString();
        QTest::newRow("low on the right display") << QPointF(2000, -179) << QStringLiteral("RIGHT");
        QTest::newRow("right edge of the screen") << QPointF(3360, 500) << QString();
    }
    void pointsBelongToHalfOpenDisplays()
    {
        QFETCH(QPointF, point);
        QFETCH(QString, expected);
        FakeDisplays displays;
        sideBySide(displays);
        const std::optional<Screen> screen = screenAt(displays, point);
        QCOMPARE(screen ? screen->name : QString(), expected);
    }
};

QTEST_GUILESS_MAIN(ScreensTest)
#include "ScreensTest.moc"
