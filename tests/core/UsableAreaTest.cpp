// The usable area of a display with and without the window-grouping strip.
#include "core/UsableArea.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeStageManager.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;

class UsableAreaTest : public QObject {
    Q_OBJECT

    FakeDisplays m_displays;
    FakeStageManager m_stage;
    Screen m_left, m_right;

    // Strip windows sit against a display's left edge, inside its height.
    void addStripWindows(const Rect &displayTopLeft, int count)
    {
        for (int i = 0; i < count; ++i)
            m_stage.groupingWindows.append(Rect{displayTopLeft.x + 10, displayTopLeft.y + 100.0 + 150 * i, 160, 120});
    }

private Q_SLOTS:
    void init()
    {
        m_displays.list.clear();
        m_stage = FakeStageManager();
        m_left = m_displays.add(QStringLiteral("left"), Rect{0, 0, 1440, 900});
        m_left.visibleFrame = Rect{0, 0, 1440, 875}; // a menu bar of 25 points on top
        m_displays.list[0] = m_left;
        m_right = m_displays.add(QStringLiteral("right"), Rect{1440, -180, 1920, 1080});
    }

    void visibleFrameInTopLeftSpaceWhenGroupingIsOff()
    {
        addStripWindows({0, 0, 1440, 900}, 3);
        QCOMPARE(UsableArea(m_displays, m_stage).usableArea(m_left), (Rect{0, 25, 1440, 875}));
        m_stage.enabled = false;
        QCOMPARE(UsableArea(m_displays, m_stage).usableArea(m_right), (Rect{1440, 0, 1920, 1080}));
        QVERIFY(UsableArea(m_displays, m_stage).stripWindowIDs().isEmpty());
    }

    void stripNarrowsOnlyWhereItShows_data()
    {
        QTest::addColumn<int>("windows");
        QTest::addColumn<std::optional<bool>>("hidden");
        QTest::addColumn<std::optional<QString>>("dockSide");
        QTest::addColumn<bool>("rightToLeft");
        QTest::addColumn<Rect>("expected");
        const std::optional<bool> shown;
        const std::optional<QString> bottom;
        QTest::newRow("one strip window: none") << 1 << shown << bottom << false << Rect{0, 25, 1440, 875};
        QTest::newRow("two: strip on the left") << 2 << shown << bottom << false << Rect{190, 25, 1250, 875};
        QTest::newRow("auto-hidden") << 2 << std::optional(true) << bottom << false << Rect{0, 25, 1440, 875};
        QTest::newRow("dock on the left puts it right")
            << 2 << shown << std::optional(QStringLiteral("left")) << false << Rect{0, 25, 1250, 875};
        QTest::newRow("dock on the right")
            << 2 << shown << std::optional(QStringLiteral("right")) << true << Rect{190, 25, 1250, 875};
        QTest::newRow("right-to-left language") << 2 << shown << bottom << true << Rect{0, 25, 1250, 875};
        QTest::newRow("other case is no side")
            << 2 << shown << std::optional(QStringLiteral("Left")) << false << Rect{190, 25, 1250, 875};
    }
    void stripNarrowsOnlyWhereItShows()
    {
        QFETCH(int, windows);
        QFETCH(std::optional<bool>, hidden);
        QFETCH(std::optional<QString>, dockSide);
        QFETCH(bool, rightToLeft);
        QFETCH(Rect, expected);
        m_stage.enabled = true;
        m_stage.hidden = hidden;
        m_stage.dockSide = dockSide;
        m_stage.rightToLeft = rightToLeft;
        // Place them along whichever edge the strip is on; attribution follows the edge.
        const bool onLeft = UsableArea(m_displays, m_stage).stripOnLeft();
        for (int i = 0; i < windows; ++i)
            m_stage.groupingWindows.append(Rect{onLeft ? 10.0 : 1270.0, 100.0 + 150 * i, 160, 120});
        QCOMPARE(UsableArea(m_displays, m_stage).usableArea(m_left), expected);
    }

    void stripWindowsAreAttributedByEdgeAndHeight()
    {
        m_stage.enabled = true;
        addStripWindows({1440, 0, 1920, 1080}, 2);
        m_stage.groupingWindows.append(Rect{1450, 850, 160, 200}); // reaches below the left display
        m_stage.groupingWindows.append(Rect{10, -100, 160, 1200}); // taller than any display: nobody's
        const UsableArea area(m_displays, m_stage);
        QCOMPARE(area.stripWindowCount(m_right), 3);
        QCOMPARE(area.stripWindowCount(m_left), 0);
        QCOMPARE(area.usableArea(m_right), (Rect{1630, 0, 1730, 1080}));
        QCOMPARE(area.usableArea(m_left), (Rect{0, 25, 1440, 875}));
    }

    void stripIdsOnlyWhenGroupingIsOn()
    {
        m_stage.entryIDs = {7, 9};
        QVERIFY(UsableArea(m_displays, m_stage).stripWindowIDs().isEmpty());
        m_stage.enabled = true;
        QCOMPARE(UsableArea(m_displays, m_stage).stripWindowIDs(), (QSet<std::uint32_t>{7, 9}));
    }
};

QTEST_GUILESS_MAIN(UsableAreaTest)
#include "UsableAreaTest.moc"
