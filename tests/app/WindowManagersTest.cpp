// On the window manager and panel that PANEMAKER_TEST_SESSION names (openbox when unset): the usable areas
// leave the panels free, and every default shortcut puts the active window where the design cuts it from
// them, on both monitors, with and without space between windows.
#include "desktop/TestDesktop.h"
#include "platform/x11/X11Displays.h"
#include "support/PanemakerProcess.h"
#include "support/Printing.h"

#include <QProcess>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

// What each session's panels leave of LEFT and RIGHT, in root coordinates, as measured on Debian 12.
std::array<QRect, 2> panelFreeAreas(TestDesktop::Session session)
{
    const QRect right(1440, 0, 1920, 1080);
    switch (session) {
    case TestDesktop::Session::openbox: return {QRect(0, 0, 1440, 900), right};
    case TestDesktop::Session::openboxWithTint2: return {QRect(0, 0, 1440, 870), QRect(1440, 0, 1920, 1050)};
    case TestDesktop::Session::fluxbox: return {QRect(0, 0, 1440, 880), right};
    case TestDesktop::Session::icewm: return {QRect(0, 0, 1440, 874), right};
    }
    return {};
}

// A fractional action's place in sixths of the area: x, y, width, height (every area here is landscape).
std::optional<std::array<int, 4>> sixths(SnapAction action)
{
    switch (action) {
    case SnapAction::leftHalf: return {{0, 0, 3, 6}};
    case SnapAction::rightHalf: return {{3, 0, 3, 6}};
    case SnapAction::topHalf: return {{0, 0, 6, 3}};
    case SnapAction::bottomHalf: return {{0, 3, 6, 3}};
    case SnapAction::topLeft: return {{0, 0, 3, 3}};
    case SnapAction::topRight: return {{3, 0, 3, 3}};
    case SnapAction::bottomLeft: return {{0, 3, 3, 3}};
    case SnapAction::bottomRight: return {{3, 3, 3, 3}};
    case SnapAction::firstThird: return {{0, 0, 2, 6}};
    case SnapAction::centerThird: return {{2, 0, 2, 6}};
    case SnapAction::lastThird: return {{4, 0, 2, 6}};
    case SnapAction::firstTwoThirds: return {{0, 0, 4, 6}};
    case SnapAction::lastTwoThirds: return {{2, 0, 4, 6}};
    case SnapAction::maximize: return {{0, 0, 6, 6}};
    default: return std::nullopt;
    }
}

// Edges on the area's border keep a whole gap from it, edges shared with a neighbour half a gap each;
// rounded half away from zero.
QRect cut(const std::array<int, 4> &u, const QRect &area, int gap)
{
    const auto edge = [gap](int origin, int length, int sixth, bool far) {
        const double inset = sixth == 0 || sixth == 6 ? gap : gap / 2.0;
        return int(std::round(origin + length * sixth / 6.0 + (far ? -inset : inset)));
    };
    const int left = edge(area.x(), area.width(), u[0], false);
    const int right = edge(area.x(), area.width(), u[0] + u[2], true);
    const int top = edge(area.y(), area.height(), u[1], false);
    const int bottom = edge(area.y(), area.height(), u[1] + u[3], true);
    return QRect(left, top, right - left, bottom - top);
}

// The window's place and size relative to the area are kept; the result covers every pixel it touches.
QRect moved(const QRect &frame, const QRect &from, const QRect &to)
{
    const double sx = double(to.width()) / from.width(), sy = double(to.height()) / from.height();
    const double w = std::min(sx * frame.width(), double(to.width()));
    const double h = std::min(sy * frame.height(), double(to.height()));
    const double x = std::clamp(to.x() + sx * (frame.x() - from.x()), double(to.x()), to.x() + to.width() - w);
    const double y = std::clamp(to.y() + sy * (frame.y() - from.y()), double(to.y()), to.y() + to.height() - h);
    const int left = int(std::floor(x)), top = int(std::floor(y));
    return QRect(left, top, int(std::ceil(x + w)) - left, int(std::ceil(y + h)) - top);
}

} // namespace

class WindowManagersTest : public QObject {
    Q_OBJECT

    TestDesktop::Session m_session = TestDesktop::Session::openbox;
    QString m_sessionName;
    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<PanemakerProcess> m_panemaker;
    std::optional<int> m_runningGap;
    TestClient *m_client = nullptr;
    int m_opened = 0;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_sessionName = qEnvironmentVariable("PANEMAKER_TEST_SESSION", u"openbox"_s);
        const std::optional<TestDesktop::Session> session = TestDesktop::sessionNamed(m_sessionName);
        QVERIFY2(session, qPrintable(u"no test session "_s + m_sessionName));
        m_session = *session;
        m_desktop = std::make_unique<TestDesktop>(m_session);
        QString error;
        m_client = m_desktop->startWithClient(&error);
        QVERIFY2(m_client, qPrintable(error));
        m_panemaker = std::make_unique<PanemakerProcess>(*m_desktop);
    }

    void cleanup()
    {
        m_client->destroy(u"w%1"_s.arg(m_opened));
        QVERIFY2(!m_panemaker->hasDied(), "Panemaker died");
    }

    void usableAreasLeaveThePanelsFree()
    {
        QString error;
        const auto x = x11::XConnection::open(m_desktop->displayName().toLocal8Bit(), &error);
        QVERIFY2(x, qPrintable(error));
        const x11::X11Displays displays(*x);
        const std::array<QRect, 2> areas = panelFreeAreas(m_session);
        const QList<Screen> screens = displays.screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens[0].visibleFrame, displays.spaces().bottomLeft(areas[0]));
        QCOMPARE(screens[1].visibleFrame, displays.spaces().bottomLeft(areas[1]));
    }

    void everyShortcutLandsInThePanelFreeArea_data()
    {
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("monitor");
        QTest::addColumn<SnapAction>("action");
        for (int gap : {0, 8}) {
            for (int monitor : {0, 1}) {
                for (SnapAction action : SnapAction::all())
                    QTest::addRow("gap %d, %s, %s", gap, monitor ? "RIGHT" : "LEFT", qPrintable(action.rawValue()))
                        << gap << monitor << action;
            }
        }
    }
    void everyShortcutLandsInThePanelFreeArea()
    {
        QFETCH(int, gap);
        QFETCH(int, monitor);
        QFETCH(SnapAction, action);
        if (m_runningGap != gap) {
            QVERIFY(m_panemaker->start({u"askToFillGap=false"_s, u"windowGap=%1"_s.arg(gap)}));
            QVERIFY(m_panemaker->waitForLine(u"Registered 18 shortcuts; failed: "_s));
            m_runningGap = gap;
        }
        const std::array<QRect, 2> areas = panelFreeAreas(m_session);
        const QRect area = areas[std::size_t(monitor)];
        const std::optional<xcb_window_t> window =
            m_client->openActive(u"w%1"_s.arg(++m_opened), {u"x=%1"_s.arg(area.x() + 100),
                                                            u"y=%1"_s.arg(area.y() + 100), u"w=500"_s, u"h=400"_s});
        QVERIFY2(window, qPrintable(m_client->lastError()));
        const QRect start = *m_desktop->outerFrame(*window);

        QRect expected;
        if (const auto unit = sixths(action)) {
            expected = cut(*unit, area, gap);
        } else if (action == SnapAction::center) {
            expected = QRect(area.x() + (area.width() - start.width() + 1) / 2,
                             area.y() + (area.height() - start.height() + 1) / 2, start.width(), start.height());
        } else if (action == SnapAction::restore) {
            QVERIFY(m_panemaker->press(SnapAction::leftHalf));
            QVERIFY2(m_desktop->frameBecomes(*window, cut(*sixths(SnapAction::leftHalf), area, gap), 1),
                     qPrintable(m_panemaker->describe(*window)));
            expected = start;
        } else {
            expected = moved(start, area, areas[std::size_t(1 - monitor)]);
        }
        QVERIFY(m_panemaker->press(action));
        const bool landed = m_desktop->frameBecomes(*window, expected, 1);
        if (action == SnapAction::maximize && monitor == 0 && gap == 8)
            QVERIFY(m_desktop->screenshot(u"%1-maximized-beside-the-panels"_s.arg(m_sessionName)));
        QVERIFY2(landed, qPrintable(m_panemaker->describe(*window)
                                    + u" expected (%1, %2, %3, %4)"_s.arg(expected.x())
                                          .arg(expected.y())
                                          .arg(expected.width())
                                          .arg(expected.height())));
    }
};

QTEST_GUILESS_MAIN(WindowManagersTest)
#include "WindowManagersTest.moc"
