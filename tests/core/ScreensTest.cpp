// Display choice and coordinate conversion over a fake display list.
#include "core/Screens.h"
#include "fake/FakeDisplays.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class ScreensTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row asks one question of a desktop; the answers are display names or frames.
    void choices_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        // In the bottom-left space: LEFT 1440×900 primary; RIGHT 1920×1080 to its right, aligned at
        // the top, so it reaches below y = 0; UPPER stacked on LEFT; WEST 1920×1080 left of LEFT.
        // Sorted for the neighbours by left edge, the upper of two stacked displays first:
        // WEST, UPPER, LEFT, RIGHT.
        FakeDisplays d, one, none;
        const Screen left = d.add(u"LEFT"_s, Rect{0, 0, 1440, 900});
        const Screen right = d.add(u"RIGHT"_s, Rect{1440, -180, 1920, 1080});
        const Screen upper = d.add(u"UPPER"_s, Rect{0, 900, 1440, 900});
        const Screen west = d.add(u"WEST"_s, Rect{-1920, 0, 1920, 1080});
        d.main = Screen{u"MAIN"_s, {}, {}}; // where nothing else fits
        one.add(u"LEFT"_s, left.frame);
        const auto name = [](const std::optional<Screen> &screen) { return screen ? screen->name : u"none"_s; };
        const auto frame = [&](const Rect &r) { return name(screenForFrame(d, r)); };
        const auto at = [&](double x, double y) { return name(screenAt(d, QPointF(x, y))); };
        const auto next = [&](const Screen &of, bool forward) { return name(neighbourScreen(d, of, forward)); };
        QTest::newRow("RIGHT to top-left") << toTopLeft(d, right.frame).toString() << u"(1440, 0, 1920, 1080)"_s;
        QTest::newRow("no display to flip by")
            << toTopLeft(none, Rect{12, 34, 56, 78}).toString() << u"(12, -112, 56, 78)"_s;
        QTest::newRow("frame mostly right") << frame(Rect{1300, 100, 600, 300}) << u"RIGHT"_s;
        QTest::newRow("frame split evenly: the earlier") << frame(Rect{1340, 100, 200, 300}) << u"LEFT"_s;
        QTest::newRow("frame below LEFT, on RIGHT") << frame(Rect{1400, 950, 200, 100}) << u"RIGHT"_s;
        QTest::newRow("frame off every display") << frame(Rect{5000, 5000, 10, 10}) << u"MAIN"_s;
        QTest::newRow("frame only touching an edge") << frame(Rect{3360, 0, 100, 100}) << u"MAIN"_s;
        QTest::newRow("point on the right edge of LEFT") << at(1440, 500) << u"RIGHT"_s;
        QTest::newRow("point on the top edge") << at(100, 900) << u"LEFT"_s;
        QTest::newRow("point on the bottom edge") << at(100, 0) << u"none"_s;
        QTest::newRow("point low on RIGHT") << at(2000, -179) << u"RIGHT"_s;
        QTest::newRow("next of the right-most: the left-most") << next(right, true) << u"WEST"_s;
        QTest::newRow("previous of the left-most: the right-most") << next(west, false) << u"RIGHT"_s;
        QTest::newRow("next of the left-most") << next(west, true) << u"UPPER"_s;
        QTest::newRow("next of the upper") << next(upper, true) << u"LEFT"_s;
        QTest::newRow("previous of the lower") << next(left, false) << u"UPPER"_s;
        QTest::newRow("next of the lower") << next(left, true) << u"RIGHT"_s;
        QTest::newRow("a display that moved is another")
            << next(Screen{u"LEFT"_s, Rect{0, 0, 1280, 800}, {}}, true) << u"none"_s;
        QTest::newRow("no neighbour on one display") << name(neighbourScreen(one, left, true)) << u"none"_s;
    }
    void choices()
    {
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        QCOMPARE(answer, expected);
    }
};

QTEST_GUILESS_MAIN(ScreensTest)
#include "ScreensTest.moc"
