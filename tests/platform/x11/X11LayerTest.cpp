// The X11 layer against a real X server: Xvfb with two monitors, Openbox, and windows of
// another process.
#include "desktop/TestDesktop.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11System.h"
#include "platform/x11/X11Windows.h"
#include "support/Printing.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <xcb/xcb_ewmh.h>

using namespace panemaker;
using namespace panemaker::x11;
using namespace Qt::StringLiterals;
using Kind = panemaker::Windows::Kind;

const Rect wholeLeft{0, 0, 1440, 900}, wholeRight{1440, -180, 1920, 1080}; // bottom-left space

class X11LayerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    TestClient *m_client = nullptr;
    std::unique_ptr<XConnection> m_x;
    std::unique_ptr<X11Displays> m_displays;
    std::unique_ptr<X11Windows> m_windows;
    int m_opened = 0;
    QStringList m_names; // windows the current test opened

    // Options as the test client takes them, separated by spaces.
    AXWindow open(const QString &options = {})
    {
        const QString name = u"w%1"_s.arg(++m_opened);
        m_names.append(name);
        return AXWindow{m_client->open(name, options.split(u' ', Qt::SkipEmptyParts)), std::int32_t(m_client->pid())};
    }

    // What Openbox draws: the client grown by _NET_FRAME_EXTENTS, here less a client-side shadow.
    Rect shown(const AXWindow &window, const QMargins &shadow = {})
    {
        const QRect r = m_desktop->outerFrame(window.id).value_or(QRect()).marginsRemoved(shadow);
        return Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())};
    }
    Windows::Details detailsOf(const AXWindow &window) { return m_windows->details({window}).value(0); }
    std::uint32_t idAt(double x, double y) { return m_windows->windowAt(QPointF(x, y)).value_or(AXWindow()).id; }

    bool areasAre(const Rect &left, const Rect &right)
    {
        return m_desktop->waitUntil([&] {
            const QList<Screen> screens = m_displays->screens();
            return screens.size() == 2 && screens[0].visibleFrame == left && screens[1].visibleFrame == right;
        });
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>();
        m_client = m_desktop->startWithClient();
        QString error;
        m_x = XConnection::open(m_desktop->displayName().toLocal8Bit(), &error);
        QVERIFY2(m_x, qPrintable(error));
        m_displays = std::make_unique<X11Displays>(*m_x);
        m_windows = std::make_unique<X11Windows>(*m_x, *m_displays);
    }

    // Each test starts on an empty desktop.
    void cleanup()
    {
        for (const QString &name : std::exchange(m_names, {}))
            m_client->destroy(name); // a window the test destroyed itself is an error to the client
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->clientList().isEmpty(); }));
    }

    void displaysAreTheMonitorsPrimaryFirst()
    {
        const QList<Screen> screens = m_displays->screens();
        QCOMPARE(screens, (QList<Screen>{{u"LEFT"_s, wholeLeft, {}}, {u"RIGHT"_s, wholeRight, {}}})); // name and frame
        m_desktop->movePointer(2000, 100);
        QCOMPARE(m_displays->mouseLocation(), QPointF(2000, 800));
    }

    // Frames are read as Openbox draws them less a client-side shadow, before and after a move.
    void framesAreReadAndSetAsShown_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QMargins>("shadow"); // _GTK_FRAME_EXTENTS (left, right, top, bottom): insets of the frame
        QTest::addColumn<Rect>("target");
        const QString plain = u"x=300 y=200 w=500 h=400"_s, maximized = u"maximized=1"_s;
        QTest::newRow("shadowed, with a gap")
            << plain + u" gtkextents=20,20,15,25"_s << QMargins(20, 15, 20, 25) << Rect{1448, 8, 944, 1064};
        QTest::newRow("shadowed, uneven")
            << plain + u" gtkextents=3,11,30,7"_s << QMargins(3, 30, 11, 7) << Rect{720, 0, 720, 900};
        QTest::newRow("maximized, to a half") << maximized << QMargins() << Rect{720, 0, 720, 900};
        QTest::newRow("maximized, to the frame it has") << maximized << QMargins() << Rect{0, 0, 1440, 900};
    }
    void framesAreReadAndSetAsShown()
    {
        QFETCH(QString, options);
        QFETCH(QMargins, shadow);
        QFETCH(Rect, target);
        const AXWindow window = open(options);
        QCOMPARE(*m_windows->frame(window), shown(window, shadow));

        QCOMPARE(m_windows->setFrame(window, target), 0);
        QCOMPARE(*m_windows->frame(window), target);
        QCOMPARE(shown(window, shadow), target);
        // The window manager may write the state after the frame it follows from.
        QVERIFY(m_desktop->waitUntil([&] {
            const auto states = atomList(m_x->readProperty(window.id, m_x->ewmh()->_NET_WM_STATE, 32));
            return std::ranges::count(states, m_x->ewmh()->_NET_WM_STATE_MAXIMIZED_VERT) == 0;
        }));

        // Moved alone, the frame keeps its size.
        QCOMPARE(m_windows->setPosition(window, QPointF(target.x + 16, target.y + 8)), 0);
        QCOMPARE(*m_windows->frame(window), (Rect{target.x + 16, target.y + 8, target.width, target.height}));
    }

    void workAreasFollowPanelsAndWhatTheWindowManagerPublishes()
    {
        // A managed dock's legacy strut names no range: it counts where the dock is, on RIGHT only.
        open(u"type=dock x=1440 y=0 w=1920 h=30 strut=0,0,30,0"_s);
        QVERIFY(areasAre(wholeLeft, {1440, -180, 1920, 1050}));
        QVERIFY(m_client->destroy(u"w%1"_s.arg(m_opened)));
        QVERIFY(areasAre(wholeLeft, wholeRight));

        // Override-redirect, so the window manager knows nothing of it: only the panel's own events can
        // tell. A legacy strut is placed by its window, so there a move alone counts.
        open(u"override=1 x=0 y=874 w=1440 h=26 strut=0,0,0,26"_s);
        const QString panel = u"w%1"_s.arg(m_opened);
        const auto send = [&](const QString &command) {
            return m_client->request(command.arg(panel)).value_or(QString()).startsWith(command.section(u' ', 0, 0));
        };
        QVERIFY(areasAre({0, 26, 1440, 874}, wholeRight));
        QVERIFY(send(u"configure %1 0 850 1440 50"_s));
        QVERIFY(areasAre({0, 50, 1440, 850}, wholeRight));
        QVERIFY(send(u"strut %1 0,0,0,240,0,0,0,0,0,0,0,1439"_s));
        QVERIFY(areasAre({0, 60, 1440, 840}, wholeRight));
        QVERIFY(send(u"configure %1 1440 0 1920 26"_s) && send(u"strut %1 0,0,26,0"_s));
        QVERIFY(areasAre(wholeLeft, {1440, -180, 1920, 1054}));
        QVERIFY(m_client->destroy(panel));
        QVERIFY(areasAre(wholeLeft, wholeRight));

        // Per-monitor areas as Mutter publishes them, RIGHT's first: each goes to the monitor holding it.
        const xcb_atom_t published = m_x->atom("_GTK_WORKAREAS_D0");
        const std::uint32_t areas[] = {1440, 27, 1920, 1053, 0, 40, 1440, 860};
        xcb_change_property(m_x->xcb(), XCB_PROP_MODE_REPLACE, m_x->root(), published, XCB_ATOM_CARDINAL, 32, 8, areas);
        m_x->flush();
        QVERIFY(areasAre({0, 0, 1440, 860}, {1440, -180, 1920, 1053}));
        xcb_delete_property(m_x->xcb(), m_x->root(), published);
        m_x->flush();
        QVERIFY(areasAre(wholeLeft, wholeRight));
    }

    void stackOrderFollowsRaising()
    {
        const AXWindow a = open(u"x=200 y=200 w=300 h=300"_s);
        const AXWindow b = open(u"x=300 y=300 w=300 h=300"_s);
        const auto orderOf = [&](const AXWindow &w) {
            const QList<ServerWindow> stack = m_windows->serverWindows();
            const auto found = std::ranges::find(stack, w.id, &ServerWindow::id);
            return found == stack.end() ? -1 : found->order;
        };
        m_windows->focus(a);
        // The active window is known from the events that announce it.
        QVERIFY(m_desktop->waitUntil([&] { return orderOf(a) == 0 && m_windows->focusedWindow() == a; }));
        QCOMPARE(m_windows->focusedWindow()->pid, std::int32_t(m_client->pid()));
        QCOMPARE(idAt(350, 350), a.id);
        m_windows->focus(b);
        QVERIFY(m_desktop->waitUntil([&] { return orderOf(b) == 0; }));
        QCOMPARE(orderOf(a), 1);
        QCOMPARE(idAt(350, 350), b.id);
        QCOMPARE(idAt(250, 250), a.id);
    }

    // What a window is, and whether the stack of the current desktop lists it once `then` has
    // happened to it.
    void windowsAreListedAndKnownForWhatTheyAre_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("then");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("minimizable");
        const auto row = [](const char *name, const QString &options, const QString &then, bool listed, Kind kind,
                            bool minimizable) {
            QTest::newRow(name) << options << then << listed << kind << minimizable;
        };
        row("ordinary", {}, {}, true, Kind::standard, true);
        row("dialog", u"type=dialog"_s, {}, true, Kind::dialog, true);
        row("transient for another", u"transient=w%1"_s, {}, true, Kind::dialog, true);
        row("splash, which Openbox will not minimize", u"type=splash"_s, {}, true, Kind::other, false);
        row("full screen", u"fullscreen=1"_s, {}, true, Kind::standard, true);
        row("dock", u"type=dock"_s, {}, false, Kind::other, false);
        row("desktop", u"type=desktop"_s, {}, false, Kind::other, false);
        row("no allowed actions at all", {}, u"forget actions"_s, true, Kind::standard, true);
        row("on every desktop", {}, u"stick"_s, true, Kind::standard, true);
        row("on another desktop", {}, u"move away"_s, false, Kind::standard, true);
        row("minimized", {}, u"minimize"_s, false, Kind::standard, true);
    }
    void windowsAreListedAndKnownForWhatTheyAre()
    {
        QFETCH(QString, options);
        QFETCH(QString, then);
        QFETCH(bool, listed);
        QFETCH(Kind, kind);
        QFETCH(bool, minimizable);
        const xcb_ewmh_connection_t *e = m_x->ewmh();
        if (options.contains(u"%1"_s)) {
            open();
            options = options.arg(m_opened);
        }
        const AXWindow window = open(options + u" x=500 y=300 w=300 h=200"_s);
        // Openbox has one desktop, 0: only the property can put a window on another one. All of them
        // is what Openbox itself writes for a window asked to be on every desktop.
        const std::uint32_t desktop = then == u"stick" ? 0xFFFFFFFF : then == u"move away" ? 1 : 0;
        xcb_change_property(m_x->xcb(), XCB_PROP_MODE_REPLACE, window.id, e->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 32, 1,
                            &desktop);
        if (then == u"forget actions")
            xcb_delete_property(m_x->xcb(), window.id, e->_NET_WM_ALLOWED_ACTIONS);
        if (then == u"minimize") {
            m_windows->minimize(window);
            QVERIFY(m_desktop->waitUntil([&] { return detailsOf(window).isMinimized; }));
        }
        QCOMPARE(std::ranges::count(m_windows->serverWindows(), window.id, &ServerWindow::id), qsizetype(listed));
        QCOMPARE(idAt(650, 400), listed ? window.id : 0u);
        const auto snapshot = m_windows->snapshot(window);
        const Windows::Details details = detailsOf(window);
        QCOMPARE(snapshot->kind, kind);
        QCOMPARE(details.kind, kind);
        QCOMPARE(snapshot->isFullScreen, options.contains(u"fullscreen"_s));
        QCOMPARE(details.isFullScreen, snapshot->isFullScreen);
        QCOMPARE(snapshot->frame, *m_windows->frame(window));
        QCOMPARE(details.isOnCurrentDesktop, then != u"move away");
        QCOMPARE(details.canMinimize, minimizable);
        if (then == u"minimize") {
            m_windows->focus(window);
            QVERIFY(m_desktop->waitUntil([&] { return !detailsOf(window).isMinimized; }));
        }
    }

    void applicationsAndTitles()
    {
        const AXWindow titled = open(u"title=Caf%C3%A9%20%E2%86%92%20%FF"_s);
        QCOMPARE(detailsOf(titled).title, u"Café → \uFFFD"_s);
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
        QVERIFY(m_windows->details({gone}).isEmpty());
        m_windows->focus(gone);
        m_windows->minimize(gone);
        QCOMPARE(std::ranges::count(m_windows->serverWindows(), gone.id, &ServerWindow::id), 0);
        // Whatever errors the server sends back for those requests must be survived.
        QVERIFY(m_desktop->waitUntil([&] { return m_windows->focusedWindow() != gone; }));
    }

    // Last: it takes the window manager down, which the session is told of.
    void windowsCanBeMovedOnlyWhileAWindowManagerRuns()
    {
        X11System system(*m_x);
        int notices = 0;
        system.watchAccess([&] { ++notices; });
        QVERIFY(system.isAccessTrusted());
        QCOMPARE(system.windowManagerName(), u"Openbox"_s);
        ::kill(pid_t(m_desktop->processIds().at(1)), SIGKILL);      // openbox, started after the server
        QVERIFY(m_desktop->waitUntil([&] { return notices > 0; })); // its check window is destroyed
        QVERIFY(!system.isAccessTrusted());
        QCOMPARE(system.windowManagerName(), QString());
    }
};

QTEST_GUILESS_MAIN(X11LayerTest)
#include "X11LayerTest.moc"
