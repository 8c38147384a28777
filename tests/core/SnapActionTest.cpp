// SnapAction: identifiers, groups, unit rectangles, region names and complements.
#include "core/SnapAction.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;
using A = SnapAction;

class SnapActionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every action once, in declaration order (which hot key ids follow), in its one group,
    // with its own raw value and title; raw values round-trip, other strings name nothing.
    // Titles say left and right; only the thirds have names of their own on a portrait area.
    void identifiers()
    {
        QList<A> grouped;
        for (A::Group group : A::allGroups()) {
            for (A action : A::actions(group)) {
                QCOMPARE(action.group(), group);
                grouped.append(action);
            }
        }
        QCOMPARE(grouped, QList<A>(A::all().begin(), A::all().end()));
        QSet<QString> raw, titles;
        QStringList portrait;
        for (int i = 0; i < int(A::all().size()); ++i) {
            const A action = A::all()[i];
            QCOMPARE(int(A::Value(action)), i);
            QCOMPARE(A::fromRawValue(action.rawValue()), action);
            QCOMPARE(A::fromJson(action.toJson()), action);
            raw.insert(action.rawValue());
            titles.insert(action.title());
            QCOMPARE(action.regionName(false), action.title());
            if (action.regionName(true) != action.title())
                portrait.append(action.title() + u" / "_s + action.regionName(true));
        }
        QCOMPARE(raw.size() + titles.size(), 36);
        QCOMPARE(A::actions(A::Group::window), (QList<A>{A::maximize, A::center, A::restore}));
        for (const QString &text : {u"LeftHalf"_s, u"leftHalf "_s, u"Left Half"_s, QString()})
            QVERIFY(!A::fromRawValue(text) && !A::fromJson(text));
        QVERIFY(!A::fromJson(QJsonValue(0)));
        QCOMPARE(portrait,
                 (QStringList{u"Left Third / Top Third"_s, u"Right Third / Bottom Third"_s,
                              u"Left Two Thirds / Top Two Thirds"_s, u"Right Two Thirds / Bottom Two Thirds"_s}));
    }

    // An action and its complement tile the unit square without overlapping, in both
    // orientations (maximize alone); a wrong entry leaves a hole or covers a region twice.
    void complementsTileTheArea()
    {
        QList<A> withoutUnit;
        for (bool landscape : {true, false}) {
            for (A action : A::all()) {
                const std::optional<Rect> unit = action.unitRect(landscape);
                if (!unit) {
                    QVERIFY(action.complement().isEmpty());
                    withoutUnit.append(action);
                    continue;
                }
                QList<Rect> pieces{*unit};
                for (A other : action.complement())
                    pieces.append(*other.unitRect(landscape));
                double covered = 0;
                for (int i = 0; i < pieces.size(); ++i) {
                    QVERIFY(pieces[i].x >= 0 && pieces[i].y >= 0 && pieces[i].maxX() <= 1 && pieces[i].maxY() <= 1);
                    covered += pieces[i].area();
                    for (int j = i + 1; j < pieces.size(); ++j)
                        QVERIFY2(!pieces[i].intersects(pieces[j]), qPrintable(action.rawValue()));
                }
                QVERIFY2(qAbs(covered - 1.0) < 1e-9, qPrintable(action.rawValue()));
            }
        }
        const QList<A> notFractional{A::center, A::restore, A::previousDisplay, A::nextDisplay};
        QCOMPARE(withoutUnit, notFractional + notFractional);
    }
};

QTEST_GUILESS_MAIN(SnapActionTest)
#include "SnapActionTest.moc"
