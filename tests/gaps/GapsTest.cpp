// Gap computation around a snapped window, also one that kept a larger size.
#include "gaps/Gaps.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;
using A = SnapAction;

namespace {

const Rect laptop{0, 25, 1440, 875};

// The action, name and frame of each gap the snap leaves; each must lie in the area snapped in.
QString gaps(A action, const Rect &target, std::optional<Rect> applied, double gap, const Rect &area = laptop)
{
    QStringList found;
    for (const Gap &g : computeGaps({action, target, applied, area, gap}))
        found.append(g.area == area ? g.action.rawValue() + u' ' + g.name + u' ' + g.frame.toString() : u"?"_s);
    return found.join(u", "_s);
}

} // namespace

class GapsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gapsAroundTheWindow_data()
    {
        QTest::addColumn<QString>("gaps");
        QTest::addColumn<QString>("expected");
        const std::optional<Rect> unreadable;
        QTest::newRow("quarters leave three, in order")
            << gaps(A::topLeft, {8, 33, 708, 426}, unreadable, 8)
            << u"topRight Top Right (724, 33, 708, 426), bottomLeft Bottom Left (8, 467, 708, 425), "
               "bottomRight Bottom Right (724, 467, 708, 425)"_s;
        QTest::newRow("portrait thirds are rows")
            << gaps(A::firstThird, {10, 10, 1060, 617}, unreadable, 10, {0, 0, 1080, 1895})
            << u"lastTwoThirds Bottom Two Thirds (10, 637, 1060, 1248)"_s;
        QTest::newRow("only touching is not reaching in")
            << gaps(A::leftHalf, {0, 25, 720, 875}, Rect{0, 25, 720, 875}, 0)
            << u"rightHalf Right Half (720, 25, 720, 875)"_s;
        // Kept 900 of width or 600 of height: the gap starts one space beyond the window.
        QTest::newRow("wider, to the right") << gaps(A::leftHalf, {8, 33, 708, 859}, Rect{8, 33, 900, 859}, 8)
                                             << u"rightHalf Right Half (916, 33, 516, 859)"_s;
        QTest::newRow("wider, flush right") << gaps(A::rightHalf, {724, 33, 708, 859}, Rect{532, 33, 900, 859}, 8)
                                            << u"leftHalf Left Half (8, 33, 516, 859)"_s;
        QTest::newRow("taller, downwards") << gaps(A::topHalf, {8, 33, 1424, 426}, Rect{8, 33, 1424, 600}, 8)
                                           << u"bottomHalf Bottom Half (8, 641, 1424, 251)"_s;
        QTest::newRow("taller, flush bottom") << gaps(A::bottomHalf, {8, 467, 1424, 425}, Rect{8, 292, 1424, 600}, 8)
                                              << u"topHalf Top Half (8, 33, 1424, 251)"_s;
        QTest::newRow("159 left over is too little")
            << gaps(A::leftHalf, {0, 25, 720, 875}, Rect{0, 25, 1281, 875}, 0) << QString();
    }
    void gapsAroundTheWindow()
    {
        QFETCH(QString, gaps);
        QFETCH(QString, expected);
        QCOMPARE(gaps, expected);
    }
};

QTEST_GUILESS_MAIN(GapsTest)
#include "GapsTest.moc"
