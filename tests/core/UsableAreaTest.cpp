// The usable area of a display with and without the window-grouping strip.
#include "core/UsableArea.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeStageManager.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

// The grouping settings, the grouping windows (two at LEFT's left edge unless said otherwise)
// and the display whose area is asked for: 0 is LEFT, 1 is RIGHT.
struct Grouping {
    std::optional<bool> enabled = true;
    std::optional<bool> hidden{};
    std::optional<QString> dockSide{};
    bool rightToLeft = false;
    QList<Rect> windows{{10, 100, 160, 120}, {10, 250, 160, 120}};
    int display = 0;
};

} // namespace

Q_DECLARE_METATYPE(Grouping)

class UsableAreaTest : public QObject {
    Q_OBJECT

    FakeDisplays m_displays;
    FakeStageManager m_stage;
    UsableArea m_usable{m_displays, m_stage};

private Q_SLOTS:
    void init()
    {
        m_displays.list.clear();
        m_stage = FakeStageManager();
        // LEFT has a menu bar of 25 points on top; RIGHT, taller, reaches below it.
        m_displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900}).visibleFrame = Rect{0, 0, 1440, 875};
        m_displays.add(u"RIGHT"_s, Rect{1440, -180, 1920, 1080});
    }

    // The strip's own windows count only when grouping is on.
    void stripNarrowsOnlyWhereItShows_data()
    {
        QTest::addColumn<Grouping>("grouping");
        QTest::addColumn<Rect>("expected");
        const Rect whole{0, 25, 1440, 875}, stripLeft{190, 25, 1250, 875}, stripRight{0, 25, 1250, 875};
        const Rect a{10, 100, 160, 120}, onRight{1450, 100, 160, 120};
        QTest::newRow("grouping unset") << Grouping{.enabled = {}} << whole;
        QTest::newRow("grouping off") << Grouping{.enabled = false} << whole;
        QTest::newRow("one strip window") << Grouping{.windows = {a}} << whole;
        QTest::newRow("auto-hidden") << Grouping{.hidden = true} << whole;
        QTest::newRow("dock on the left puts it right")
            << Grouping{.dockSide = u"left"_s, .windows = {{1270, 100, 160, 120}, {1270, 250, 160, 120}}} << stripRight;
        QTest::newRow("dock on the right") << Grouping{.dockSide = u"right"_s, .rightToLeft = true} << stripLeft;
        QTest::newRow("right-to-left language") << Grouping{.rightToLeft = true} << stripRight;
        QTest::newRow("other case is no side") << Grouping{.dockSide = u"Left"_s} << stripLeft;
        QTest::newRow("reaching below LEFT: RIGHT's")
            << Grouping{.windows = {onRight, {10, 850, 160, 200}}, .display = 1} << Rect{1630, 0, 1730, 1080};
        QTest::newRow("above every display: nobody's") << Grouping{.windows = {a, {10, -100, 160, 120}}} << whole;
        QTest::newRow("as near to both: the earlier's") << Grouping{.windows = {a, {720, 100, 160, 120}}} << stripLeft;
        QTest::newRow("nearer RIGHT") << Grouping{.windows = {a, onRight}} << whole;
    }
    void stripNarrowsOnlyWhereItShows()
    {
        QFETCH(Grouping, grouping);
        QFETCH(Rect, expected);
        m_stage.enabled = grouping.enabled;
        m_stage.hidden = grouping.hidden;
        m_stage.dockSide = grouping.dockSide;
        m_stage.rightToLeft = grouping.rightToLeft;
        m_stage.groupingWindows = grouping.windows;
        m_stage.entryIDs = {7, 9};
        QCOMPARE(m_usable.usableArea(m_displays.list[grouping.display]), expected);
        QCOMPARE(m_usable.stripWindowIDs(),
                 (grouping.enabled == true ? QSet<std::uint32_t>{7, 9} : QSet<std::uint32_t>{}));
    }
};

QTEST_GUILESS_MAIN(UsableAreaTest)
#include "UsableAreaTest.moc"
