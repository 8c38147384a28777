// On the window manager and panel that PANEMAKER_TEST_SESSION names (openbox when unset): the usable areas
// leave the panels free, and the default shortcuts cut the active window's frame from them, on both monitors,
// with and without space between windows.
#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"
#include "support/Printing.h"

#include <QTest>

#include <array>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

enum Monitor { left, right };

// The frames of a row on each session, in the order of TestDesktop::Session: x, y, width, height.
using Frames = std::array<std::array<int, 4>, 4>;

} // namespace

class WindowManagersTest : public QObject {
    Q_OBJECT

    const TestDesktop::Session m_session = TestDesktop::sessionUnderTest();
    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<PanemakerProcess> m_panemaker;
    std::optional<int> m_runningGap;
    TestClient *m_client = nullptr;
    int m_opened = 0;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>(m_session);
        m_client = m_desktop->startWithClient();
        m_panemaker = std::make_unique<PanemakerProcess>(*m_desktop);
    }

    void cleanup()
    {
        m_client->destroy(u"w%1"_s.arg(m_opened));
        QVERIFY2(!m_panemaker->hasDied(), "Panemaker died");
    }

    // Worked out by hand on the panel-free areas: LEFT is 1440 wide and 900, 870, 880 or 874 high, RIGHT 1920 by
    // 1080 (1050 with tint2). An edge on the area's border keeps the whole gap, an edge shared with a neighbour
    // half of it; a half point rounds away from zero. A move to the other display scales the frame, then takes
    // every pixel it touches.
    void shortcutsCutTheFrameFromTheArea_data()
    {
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("monitor");
        QTest::addColumn<QList<SnapAction>>("presses");
        QTest::addColumn<QRect>("expected");
        const auto row = [this](const char *name, int gap, Monitor monitor, QList<SnapAction> presses,
                                const Frames &frames) {
            const std::array<int, 4> &f = frames[size_t(m_session)];
            QTest::newRow(name) << gap << int(monitor) << presses << QRect(f[0], f[1], f[2], f[3]);
        };
        using enum SnapAction::Value;
        row("LEFT, bottom right", 0, left, {bottomRight},
            {{{720, 450, 720, 450}, {720, 435, 720, 435}, {720, 440, 720, 440}, {720, 437, 720, 437}}});
        row("RIGHT, first third", 0, right, {firstThird},
            {{{1440, 0, 640, 1080}, {1440, 0, 640, 1050}, {1440, 0, 640, 1080}, {1440, 0, 640, 1080}}});
        row("RIGHT, maximize", 0, right, {maximize},
            {{{1440, 0, 1920, 1080}, {1440, 0, 1920, 1050}, {1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}}});
        row("RIGHT, top right, next display", 0, right, {topRight, nextDisplay},
            {{{720, 0, 720, 450}, {720, 0, 720, 435}, {720, 0, 720, 440}, {720, 0, 720, 437}}});
        row("gap 5, LEFT, right half", 5, left, {rightHalf},
            {{{723, 5, 712, 890}, {723, 5, 712, 860}, {723, 5, 712, 870}, {723, 5, 712, 864}}});
        row("gap 5, LEFT, bottom left", 5, left, {bottomLeft},
            {{{5, 453, 713, 442}, {5, 438, 713, 427}, {5, 443, 713, 432}, {5, 440, 713, 429}}});
        row("gap 5, RIGHT, center third", 5, right, {centerThird},
            {{{2083, 5, 635, 1070}, {2083, 5, 635, 1040}, {2083, 5, 635, 1070}, {2083, 5, 635, 1070}}});
        row("gap 5, LEFT, last third", 5, left, {lastThird},
            {{{963, 5, 472, 890}, {963, 5, 472, 860}, {963, 5, 472, 870}, {963, 5, 472, 864}}});
        row("gap 5, RIGHT, first two thirds", 5, right, {firstTwoThirds},
            {{{1445, 5, 1273, 1070}, {1445, 5, 1273, 1040}, {1445, 5, 1273, 1070}, {1445, 5, 1273, 1070}}});
        row("gap 5, LEFT, last two thirds", 5, left, {lastTwoThirds},
            {{{483, 5, 952, 890}, {483, 5, 952, 860}, {483, 5, 952, 870}, {483, 5, 952, 864}}});
        row("gap 5, LEFT, maximize", 5, left, {maximize},
            {{{5, 5, 1430, 890}, {5, 5, 1430, 860}, {5, 5, 1430, 870}, {5, 5, 1430, 864}}});
        // Top right is (723, 5, 712, 443) on LEFT without a panel, and keeps its size.
        row("gap 5, LEFT, top right, center", 5, left, {topRight, center},
            {{{364, 229, 712, 443}, {364, 221, 712, 428}, {364, 224, 712, 433}, {364, 222, 712, 430}}});
        // Left half is (5, 5, 713, 890) without a panel: x 1446.67, width 950.67 on RIGHT.
        row("gap 5, LEFT, left half, next display", 5, left, {leftHalf, nextDisplay},
            {{{1446, 6, 952, 1068}, {1446, 6, 952, 1038}, {1446, 6, 952, 1068}, {1446, 6, 952, 1068}}});
    }
    void shortcutsCutTheFrameFromTheArea()
    {
        QFETCH(int, gap);
        QFETCH(int, monitor);
        QFETCH(QList<SnapAction>, presses);
        QFETCH(QRect, expected);
        if (m_runningGap != gap) {
            QVERIFY(m_panemaker->start({u"askToFillGap=false"_s, u"windowGap=%1"_s.arg(gap)}));
            QVERIFY(m_panemaker->waitForLine(u"Registered 18 shortcuts; failed: "_s));
            m_runningGap = gap;
        }
        const xcb_window_t window = m_client->openActive(
            u"w%1"_s.arg(++m_opened), {u"x=%1"_s.arg(monitor == right ? 1540 : 100), u"y=100"_s, u"w=500"_s});
        for (SnapAction action : presses)
            QVERIFY(m_panemaker->snap(action));
        const bool landed = m_panemaker->landsAt(window, expected);
        if (presses.last() == SnapAction::maximize && gap)
            QVERIFY(m_desktop->screenshot(u"%1-maximized-beside-the-panels"_s.arg(m_desktop->sessionName())));
        QVERIFY(landed);
    }
};

QTEST_GUILESS_MAIN(WindowManagersTest)
#include "WindowManagersTest.moc"
