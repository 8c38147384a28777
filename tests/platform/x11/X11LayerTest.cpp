// The X11 layer against a real X server: Xvfb with two monitors, Openbox, and windows of
// another process.
#include "desktop/TestDesktop.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11System.h"
#include "platform/x11/X11Windows.h"
#include "support/Printing.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <xcb/xcb_ewmh.h>

using namespace panemaker;
using namespace panemaker::x11;
using namespace Qt::StringLiterals;

namespace panemaker {
inline char *toString(const AXWindow &window)
{
    return qstrdup(qPrintable(QStringLiteral("window 0x%1").arg(window.id, 0, 16)));
}
inline char *toString(const Windows::Kind &kind)
{
    return qstrdup(kind == Windows::Kind::standard ? "standard" : kind == Windows::Kind::dialog ? "dialog" : "other");
}
} // namespace panemaker

namespace {

QRect toQRect(const Rect &r)
{
    return QRect(int(r.x), int(r.y), int(r.width), int(r.height));
}

bool near(const QRect &a, const QRect &b, int tolerance = 1)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance
           && std::abs(a.width() - b.width()) <= tolerance && std::abs(a.height() - b.height()) <= tolerance;
}

} // namespace

class X11LayerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    TestClient *m_client = nullptr;
    std::unique_ptr<XConnection> m_x;
    std::unique_ptr<X11Displays> m_displays;
    std::unique_ptr<X11Windows> m_windows;
    int m_opened = 0;
    QStringList m_names; // windows the current test opened

    AXWindow open(const QStringList &options = {})
    {
        const QString name = u"w%1"_s.arg(++m_opened);
        m_names.append(name);
        const std::optional<xcb_window_t> id = m_client->open(name, options);
        if (!id)
            qFatal("the test client could not open a window: %s", qPrintable(m_client->lastError()));
        return AXWindow{*id, std::int32_t(m_client->pid())};
    }

    QRect realFrame(const AXWindow &window) { return m_desktop->outerFrame(window.id).value_or(QRect()); }

    std::optional<Screen> screenNamed(const QString &name)
    {
        for (const Screen &screen : m_displays->screens()) {
            if (screen.name == name)
                return screen;
        }
        return std::nullopt;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>();
        QString error;
        m_client = m_desktop->startWithClient(&error);
        QVERIFY2(m_client, qPrintable(error));
        m_x = XConnection::open(m_desktop->displayName().toLocal8Bit(), &error);
        QVERIFY2(m_x, qPrintable(error));
        m_displays = std::make_unique<X11Displays>(*m_x);
        m_windows = std::make_unique<X11Windows>(*m_x, *m_displays);
    }

    // Each test starts on an empty desktop.
    void cleanup()
    {
        for (const QString &name : std::as_const(m_names)) {
            if (m_client->window(name))
                m_client->destroy(name);
        }
        m_names.clear();
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->clientList().isEmpty(); }));
    }

    void cleanupTestCase()
    {
        m_windows.reset();
        m_displays.reset();
        m_x.reset();
        m_desktop.reset();
    }

    void displaysAreTheMonitorsPrimaryFirst()
    {
        const QList<Screen> screens = m_displays->screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens[0].name, u"LEFT"_s);
        QCOMPARE(screens[0].frame, (Rect{0, 0, 1440, 900}));
        QCOMPARE(screens[1].name, u"RIGHT"_s);
        QCOMPARE(screens[1].frame, (Rect{1440, -180, 1920, 1080}));
        QCOMPARE(screens[1].visibleFrame, screens[1].frame);
        m_desktop->movePointer(2000, 100);
        QCOMPARE(m_displays->mouseLocation(), QPointF(2000, 800));
    }

    void framesAreWhatOpenboxShows()
    {
        const AXWindow plain = open({u"x=100"_s, u"y=120"_s, u"w=400"_s, u"h=300"_s});
        const QRect shown = realFrame(plain);
        QVERIFY(shown.width() > 400 && shown.height() > 300); // decorated
        QCOMPARE(toQRect(*m_windows->frame(plain)), shown);

        // A client-side decorated window's invisible shadow is not part of what the user sees.
        const AXWindow shadowed = open({u"x=600"_s, u"y=120"_s, u"w=440"_s, u"h=340"_s, u"gtkextents=20,20,15,25"_s});
        const QRect withShadow = realFrame(shadowed);
        QCOMPARE(toQRect(*m_windows->frame(shadowed)), withShadow.adjusted(20, 15, -20, -25));
    }

    void settingFramesLandsOnEachHalf_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QRect>("target");
        const QStringList plain{u"x=300"_s, u"y=200"_s, u"w=500"_s, u"h=400"_s};
        const QStringList shadowed = plain + QStringList{u"gtkextents=20,20,15,25"_s};
        QTest::newRow("left half of LEFT") << plain << QRect(0, 0, 720, 900);
        QTest::newRow("right half of LEFT") << plain << QRect(720, 0, 720, 900);
        QTest::newRow("left half of RIGHT") << plain << QRect(1440, 0, 960, 1080);
        QTest::newRow("right half of RIGHT") << plain << QRect(2400, 0, 960, 1080);
        QTest::newRow("with a gap") << plain << QRect(1448, 8, 944, 1064);
        QTest::newRow("shadowed, right half of RIGHT") << shadowed << QRect(2400, 0, 960, 1080);
        QTest::newRow("maximized window") << (plain + QStringList{u"maximized=1"_s}) << QRect(720, 0, 720, 900);
    }
    void settingFramesLandsOnEachHalf()
    {
        QFETCH(QStringList, options);
        QFETCH(QRect, target);
        const AXWindow window = open(options);
        QCOMPARE(m_windows->setFrame(window, Rect{double(target.x()), double(target.y()), double(target.width()),
                                                  double(target.height())}),
                 0);
        QVERIFY2(near(toQRect(*m_windows->frame(window)), target), qPrintable(m_windows->frame(window)->toString()));
        QVERIFY(m_desktop->waitUntil(
            [&] { return m_windows->frame(window) && near(toQRect(*m_windows->frame(window)), target); }, 1000));
        if (!options.contains(u"gtkextents=20,20,15,25"_s))
            QVERIFY2(near(realFrame(window), target), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                     .arg(realFrame(window).x())
                                                                     .arg(realFrame(window).y())
                                                                     .arg(realFrame(window).width())
                                                                     .arg(realFrame(window).height())));
        const auto states = atomList(m_x->readProperty(window.id, m_x->ewmh()->_NET_WM_STATE, 32));
        QVERIFY(std::find(states.begin(), states.end(), m_x->ewmh()->_NET_WM_STATE_MAXIMIZED_VERT) == states.end());
    }

    void positionAloneKeepsTheSize()
    {
        const AXWindow window = open({u"x=100"_s, u"y=100"_s, u"w=300"_s, u"h=200"_s});
        const Rect before = *m_windows->frame(window);
        QCOMPARE(m_windows->setPosition(window, QPointF(1600, 300)), 0);
        const Rect after = *m_windows->frame(window);
        QCOMPARE(after, (Rect{1600, 300, before.width, before.height}));
    }

    void windowWithAMinimumWidthKeepsIt()
    {
        const AXWindow wide = open({u"x=50"_s, u"y=50"_s, u"w=900"_s, u"h=400"_s, u"minw=900"_s});
        const int decoration = realFrame(wide).width() - 900;
        m_windows->setFrame(wide, Rect{720, 0, 720, 900});
        const Rect readBack = *m_windows->frame(wide);
        QCOMPARE(int(readBack.width), 900 + decoration);
        QCOMPARE(toQRect(readBack), realFrame(wide));
    }

    void aDocksLegacyStrutShrinksOnlyItsMonitor()
    {
        // The legacy form names no range: it counts where the dock really is, not along the whole top.
        const AXWindow dock =
            open({u"type=dock"_s, u"x=1440"_s, u"y=0"_s, u"w=1920"_s, u"h=30"_s, u"strut=0,0,30,0"_s});
        QVERIFY(m_desktop->waitUntil([&] { return screenNamed(u"RIGHT"_s)->visibleFrame.height == 1050; }));
        QCOMPARE(screenNamed(u"RIGHT"_s)->visibleFrame, (Rect{1440, -180, 1920, 1050}));
        QCOMPARE(screenNamed(u"LEFT"_s)->visibleFrame, (Rect{0, 0, 1440, 900}));

        // windowAt skips docks; the stack does not list them.
        QCOMPARE(m_windows->windowAt(QPointF(1500, 10)), std::nullopt);
        for (const ServerWindow &entry : m_windows->serverWindows())
            QVERIFY(entry.id != dock.id);
        QCOMPARE(m_windows->snapshot(dock)->kind, Windows::Kind::other);

        QVERIFY(m_client->destroy(u"w%1"_s.arg(m_opened)));
        QVERIFY(m_desktop->waitUntil([&] { return screenNamed(u"RIGHT"_s)->visibleFrame.height == 1080; }));
    }

    void workAreasFollowAPanelThatMovesAndGoes()
    {
        // Override-redirect, so the window manager knows nothing of it: only the panel's own events can
        // tell. A legacy strut is placed by its window, so there a move alone counts.
        const QString panel = u"w%1"_s.arg(++m_opened);
        m_names.append(panel);
        QVERIFY(m_client->open(panel,
                               {u"override=1"_s, u"x=0"_s, u"y=874"_s, u"w=1440"_s, u"h=26"_s, u"strut=0,0,0,26"_s}));
        const auto areasAre = [&](const Rect &left, const Rect &right) {
            return m_desktop->waitUntil([&] {
                return screenNamed(u"LEFT"_s)->visibleFrame == left && screenNamed(u"RIGHT"_s)->visibleFrame == right;
            });
        };
        const auto send = [&](const QString &command) {
            return m_client->request(command.arg(panel)).value_or(QString()).startsWith(command.section(u' ', 0, 0));
        };
        // Bottom-left space: y counts up from the bottom of LEFT.
        const Rect wholeLeft{0, 0, 1440, 900}, wholeRight{1440, -180, 1920, 1080};
        QVERIFY(areasAre({0, 26, 1440, 874}, wholeRight));
        QVERIFY(send(u"configure %1 0 850 1440 50"_s));
        QVERIFY(areasAre({0, 50, 1440, 850}, wholeRight));
        QVERIFY(send(u"strut %1 0,0,0,240,0,0,0,0,0,0,0,1439"_s));
        QVERIFY(areasAre({0, 60, 1440, 840}, wholeRight));
        QVERIFY(send(u"configure %1 1440 0 1920 26"_s) && send(u"strut %1 0,0,26,0"_s));
        QVERIFY(areasAre(wholeLeft, {1440, -180, 1920, 1054}));
        QVERIFY(m_client->destroy(panel));
        QVERIFY(areasAre(wholeLeft, wholeRight));
    }

    void stackOrderFollowsRaising()
    {
        const AXWindow a = open({u"x=200"_s, u"y=200"_s, u"w=300"_s, u"h=300"_s});
        const AXWindow b = open({u"x=300"_s, u"y=300"_s, u"w=300"_s, u"h=300"_s});
        const auto orderOf = [&](const AXWindow &w) {
            for (const ServerWindow &entry : m_windows->serverWindows()) {
                if (entry.id == w.id)
                    return entry.order;
            }
            return -1;
        };
        m_windows->focus(a);
        // The active window is known from the events that announce it.
        QVERIFY(m_desktop->waitUntil([&] { return orderOf(a) == 0 && m_windows->focusedWindow() == a; }));
        QVERIFY(orderOf(b) > 0);
        QCOMPARE(m_windows->focusedWindow()->pid, std::int32_t(m_client->pid()));
        QCOMPARE(m_windows->windowAt(QPointF(350, 350)), a);

        m_windows->focus(b);
        QVERIFY(m_desktop->waitUntil([&] { return orderOf(b) == 0; }));
        QCOMPARE(orderOf(a), 1);
        QCOMPARE(m_windows->windowAt(QPointF(350, 350)), b);
        QCOMPARE(m_windows->windowAt(QPointF(250, 250)), a);
        QCOMPARE(m_windows->windowAt(QPointF(3300, 1070)), std::nullopt); // the empty desktop
    }

    void attributesOfOrdinaryWindows()
    {
        const AXWindow titled = open({u"title=Caf%C3%A9%20%E2%86%92%20%FF"_s});
        QCOMPARE(m_windows->title(titled), u"Café → \uFFFD"_s);
        const auto facts = m_windows->snapshot(titled);
        QCOMPARE(facts->kind, Windows::Kind::standard);
        QCOMPARE(facts->isFullScreen, false);
        QCOMPARE(facts->serverId, titled.id);
        QCOMPARE(facts->frame, *m_windows->frame(titled));
        QCOMPARE(m_windows->isMinimized(titled), false);
        QCOMPARE(m_windows->canMinimize(titled), true);

        const AXWindow dialog = open({u"type=dialog"_s});
        QCOMPARE(m_windows->snapshot(dialog)->kind, Windows::Kind::dialog);
        const AXWindow transient = open({u"transient=w%1"_s.arg(m_opened - 1)});
        QCOMPARE(m_windows->snapshot(transient)->kind, Windows::Kind::dialog);

        const AXWindow full = open({u"fullscreen=1"_s});
        QCOMPARE(m_windows->snapshot(full)->isFullScreen, true);
        QVERIFY(m_client->destroy(u"w%1"_s.arg(m_opened)));

        m_windows->minimize(titled);
        QVERIFY(m_desktop->waitUntil([&] { return m_windows->isMinimized(titled) == true; }));
        m_windows->focus(titled);
        QVERIFY(m_desktop->waitUntil([&] { return m_windows->isMinimized(titled) == false; }));
    }

    void applicationsGroupWindowsByProcess()
    {
        open();
        QTemporaryDir folder;
        X11Applications applications(*m_x, *m_windows, {folder.path()});
        const QList<Application> apps = applications.runningApplications();
        QCOMPARE(apps.size(), 1); // the test itself owns no windows
        QCOMPARE(apps[0].pid, std::int32_t(m_client->pid()));
        QCOMPARE(apps[0].name, u"PanemakerTestClient"_s);
        QVERIFY(apps[0].isRegular);
        QCOMPARE(qsizetype(apps[0].windows.size()), qsizetype(m_desktop->clientList().size()));

        // An application installed while running is named by its desktop entry from then on.
        QFile entry(folder.filePath(u"test-client.desktop"_s));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nName=Test Client\nStartupWMClass=PanemakerTestClient\n");
        entry.close();
        QVERIFY(m_desktop->waitUntil([&] { return applications.name(apps[0].pid) == u"Test Client"_s; }));
    }

    void vanishedWindowsYieldNothing()
    {
        const AXWindow gone = open();
        QVERIFY(m_client->destroy(u"w%1"_s.arg(m_opened)));
        QCOMPARE(m_windows->frame(gone), std::nullopt);
        QCOMPARE(m_windows->setFrame(gone, Rect{0, 0, 500, 500}), -3);
        QCOMPARE(m_windows->setPosition(gone, QPointF(10, 10)), -3);
        QVERIFY(!m_windows->snapshot(gone));
        QCOMPARE(m_windows->title(gone), std::nullopt);
        QCOMPARE(m_windows->canMinimize(gone), std::nullopt);
        m_windows->focus(gone);
        m_windows->minimize(gone);
        for (const ServerWindow &entry : m_windows->serverWindows())
            QVERIFY(entry.id != gone.id);
        // Whatever errors the server sends back for those requests must be survived.
        QVERIFY(m_desktop->waitUntil([&] { return m_windows->focusedWindow() != gone; }));
    }

    void monitorChangesAreAnnounced()
    {
        QSignalSpy changed(m_displays.get(), &Displays::changed);
        QVERIFY(m_desktop->unplugRightMonitor());
        QVERIFY(m_desktop->waitUntil([&] { return changed.count() > 0; }));
        QCOMPARE(m_displays->screens().size(), 1);
        QVERIFY(m_desktop->plugInRightMonitor());
        QVERIFY(m_desktop->waitUntil([&] { return m_displays->screens().size() == 2; }));
    }

    // Last: it takes the window manager down.
    void windowsCanBeMovedOnlyWhileAWindowManagerRuns()
    {
        X11System system(*m_x);
        QVERIFY(system.isAccessTrusted());
        ::kill(pid_t(m_desktop->processIds().at(1)), SIGKILL); // openbox, started after the server
        QVERIFY(m_desktop->waitUntil([&] { return !system.isAccessTrusted(); }));
    }
};

QTEST_GUILESS_MAIN(X11LayerTest)
#include "X11LayerTest.moc"
