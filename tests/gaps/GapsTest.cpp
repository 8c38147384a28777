// Gap computation around a snapped window, also one that kept a larger size.
#include "gaps/Gaps.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class GapsTest : public QObject {
    Q_OBJECT

    const Rect area{0, 25, 1440, 875};

private Q_SLOTS:
    void regionsOfTheComplementInOrder()
    {
        const QList<Gap> gaps = computeGaps({SnapAction::topLeft, Rect{8, 33, 708, 425}, std::nullopt, area, 8});
        QCOMPARE(gaps.size(), 3);
        QCOMPARE(gaps[0].action, SnapAction(SnapAction::topRight));
        QCOMPARE(gaps[1].action, SnapAction(SnapAction::bottomLeft));
        QCOMPARE(gaps[2].action, SnapAction(SnapAction::bottomRight));
        QCOMPARE(gaps[2].frame, (Rect{724, 467, 708, 425}));
        QCOMPARE(gaps[2].area, area);
        QCOMPARE(gaps[0].name, u"Top Right"_s);
    }

    void aWiderWindowLeavesWhatIsBeyondIt_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<Rect>("target");
        QTest::addColumn<Rect>("applied");
        QTest::addColumn<QList<Rect>>("expected");
        QTest::newRow("left half kept 900 wide") << SnapAction(SnapAction::leftHalf) << Rect{0, 25, 720, 875}
                                                 << Rect{0, 25, 900, 875} << QList<Rect>{{900, 25, 540, 875}};
        QTest::newRow("right half kept 900 wide, flush right")
            << SnapAction(SnapAction::rightHalf) << Rect{720, 25, 720, 875} << Rect{540, 25, 900, 875}
            << QList<Rect>{{0, 25, 540, 875}};
        QTest::newRow("too little left over")
            << SnapAction(SnapAction::leftHalf) << Rect{0, 25, 720, 875} << Rect{0, 25, 1300, 875} << QList<Rect>{};
        QTest::newRow("top half kept tall") << SnapAction(SnapAction::topHalf) << Rect{0, 25, 1440, 438}
                                            << Rect{0, 25, 1440, 700} << QList<Rect>{{0, 725, 1440, 175}};
        QTest::newRow("only touching is not reaching in") << SnapAction(SnapAction::leftHalf) << Rect{0, 25, 720, 875}
                                                          << Rect{0, 25, 720, 875} << QList<Rect>{{720, 25, 720, 875}};
    }
    void aWiderWindowLeavesWhatIsBeyondIt()
    {
        QFETCH(SnapAction, action);
        QFETCH(Rect, target);
        QFETCH(Rect, applied);
        QFETCH(QList<Rect>, expected);
        QList<Rect> frames;
        for (const Gap &gap : computeGaps({action, target, applied, area, 0}))
            frames.append(gap.frame);
        QCOMPARE(frames, expected);
    }

    void portraitAreasNameTheirThirdsTopToBottom()
    {
        const Rect tall{0, 0, 1080, 1895};
        const QList<Gap> gaps = computeGaps({SnapAction::firstThird, Rect{10, 10, 1060, 617}, std::nullopt, tall, 10});
        QCOMPARE(gaps.size(), 1);
        QCOMPARE(gaps[0].name, u"Bottom Two Thirds"_s);
        QCOMPARE(gaps[0].frame, (Rect{10, 637, 1060, 1248}));
    }
};

QTEST_GUILESS_MAIN(GapsTest)
#include "GapsTest.moc"
