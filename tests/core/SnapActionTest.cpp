// SnapAction: identifiers, groups, unit rectangles, region names and complements.
#include "core/SnapAction.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;

class SnapActionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rawValuesRoundTripInDeclarationOrder()
    {
        const QStringList expected{
            QStringLiteral("leftHalf"),      QStringLiteral("rightHalf"),       QStringLiteral("topHalf"),
            QStringLiteral("bottomHalf"),    QStringLiteral("topLeft"),         QStringLiteral("topRight"),
            QStringLiteral("bottomLeft"),    QStringLiteral("bottomRight"),     QStringLiteral("firstThird"),
            QStringLiteral("centerThird"),   QStringLiteral("lastThird"),       QStringLiteral("firstTwoThirds"),
            QStringLiteral("lastTwoThirds"), QStringLiteral("maximize"),        QStringLiteral("center"),
            QStringLiteral("restore"),       QStringLiteral("previousDisplay"), QStringLiteral("nextDisplay")};
        QStringList raw;
        for (SnapAction action : SnapAction::all()) {
            raw.append(action.rawValue());
            QCOMPARE(SnapAction::fromRawValue(action.rawValue()), action);
            QCOMPARE(SnapAction::fromJson(action.toJson()), action);
        }
        QCOMPARE(raw, expected);
    }

    void unknownRawValuesYieldNoAction_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("other case") << QStringLiteral("LeftHalf");
        QTest::newRow("all caps") << QStringLiteral("LEFTHALF");
        QTest::newRow("trailing space") << QStringLiteral("leftHalf ");
        QTest::newRow("empty") << QString();
        QTest::newRow("title instead of raw value") << QStringLiteral("Left Half");
    }
    void unknownRawValuesYieldNoAction()
    {
        QFETCH(QString, text);
        QCOMPARE(SnapAction::fromRawValue(text), std::nullopt);
        QCOMPARE(SnapAction::fromJson(text), std::nullopt);
    }

    void groupsListEveryActionOnceInOrder()
    {
        QList<SnapAction> listed;
        QStringList titles;
        for (SnapAction::Group group : SnapAction::allGroups()) {
            titles.append(SnapAction::title(group));
            for (SnapAction action : SnapAction::actions(group)) {
                QCOMPARE(action.group(), group);
                listed.append(action);
            }
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("Halves"), QStringLiteral("Quarters"), QStringLiteral("Thirds"),
                                      QStringLiteral("Window"), QStringLiteral("Displays")}));
        QCOMPARE(listed, QList<SnapAction>(SnapAction::all().begin(), SnapAction::all().end()));
        QCOMPARE(SnapAction::actions(SnapAction::Group::window),
                 (QList<SnapAction>{SnapAction::maximize, SnapAction::center, SnapAction::restore}));
    }

    void thirdsTurnIntoRowsOnPortraitAreas_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<Rect>("landscape");
        QTest::addColumn<Rect>("portrait");
        QTest::addColumn<QString>("portraitName");
        const double third = 1.0 / 3.0, twoThirds = 2.0 / 3.0;
        QTest::newRow("first") << SnapAction(SnapAction::firstThird) << Rect{0, 0, third, 1} << Rect{0, 0, 1, third}
                               << QStringLiteral("Top Third");
        QTest::newRow("center") << SnapAction(SnapAction::centerThird) << Rect{third, 0, third, 1}
                                << Rect{0, third, 1, third} << QStringLiteral("Center Third");
        QTest::newRow("last") << SnapAction(SnapAction::lastThird) << Rect{twoThirds, 0, third, 1}
                              << Rect{0, twoThirds, 1, third} << QStringLiteral("Bottom Third");
        QTest::newRow("first two") << SnapAction(SnapAction::firstTwoThirds) << Rect{0, 0, twoThirds, 1}
                                   << Rect{0, 0, 1, twoThirds} << QStringLiteral("Top Two Thirds");
        QTest::newRow("last two") << SnapAction(SnapAction::lastTwoThirds) << Rect{third, 0, twoThirds, 1}
                                  << Rect{0, third, 1, twoThirds} << QStringLiteral("Bottom Two Thirds");
        QTest::newRow("half keeps its shape") << SnapAction(SnapAction::rightHalf) << Rect{0.5, 0, 0.5, 1}
                                              << Rect{0.5, 0, 0.5, 1} << QStringLiteral("Right Half");
    }
    void thirdsTurnIntoRowsOnPortraitAreas()
    {
        QFETCH(SnapAction, action);
        QFETCH(Rect, landscape);
        QFETCH(Rect, portrait);
        QFETCH(QString, portraitName);
        QCOMPARE(action.unitRect(true), landscape);
        QCOMPARE(action.unitRect(false), portrait);
        QCOMPARE(action.regionName(false), action.title());
        QCOMPARE(action.regionName(true), portraitName);
    }

    void nonFractionalActionsHaveNoUnitRect()
    {
        for (SnapAction action :
             {SnapAction::center, SnapAction::restore, SnapAction::previousDisplay, SnapAction::nextDisplay}) {
            QCOMPARE(SnapAction(action).unitRect(true), std::nullopt);
            QCOMPARE(SnapAction(action).complement(), QList<SnapAction>());
        }
        QCOMPARE(SnapAction(SnapAction::maximize).unitRect(false), (Rect{0, 0, 1, 1}));
        QCOMPARE(SnapAction(SnapAction::maximize).complement(), QList<SnapAction>());
    }

    // An action and its complement must tile the whole area without overlapping, in both
    // orientations: a wrong table entry leaves a hole or a double-covered region.
    void complementsTileTheArea()
    {
        for (bool landscape : {true, false}) {
            for (SnapAction action : SnapAction::all()) {
                const QList<SnapAction> rest = action.complement();
                if (rest.isEmpty())
                    continue;
                QList<Rect> pieces{*action.unitRect(landscape)};
                for (SnapAction other : rest)
                    pieces.append(*other.unitRect(landscape));
                double covered = 0;
                for (int i = 0; i < pieces.size(); ++i) {
                    covered += pieces[i].area();
                    for (int j = i + 1; j < pieces.size(); ++j) {
                        const std::optional<Rect> overlap = pieces[i].intersected(pieces[j]);
                        QVERIFY2(!overlap || overlap->area() < 1e-9, qPrintable(action.rawValue()));
                    }
                }
                QVERIFY2(qAbs(covered - 1.0) < 1e-9, qPrintable(action.rawValue()));
            }
        }
    }
};

QTEST_GUILESS_MAIN(SnapActionTest)
#include "SnapActionTest.moc"
