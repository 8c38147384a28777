// The whole program on a private X server: real key presses snap windows of another process.
#include "core/Geometry.h"
#include "core/SnapAction.h"
#include "desktop/TestDesktop.h"
#include "support/Printing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <xcb/xtest.h>

#include <csignal>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

constexpr xcb_keysym_t control = 0xffe3, alt = 0xffe9, super = 0xffeb;
constexpr xcb_keysym_t capsLock = 0xffe5, numLock = 0xff7f;

struct Key {
    xcb_keysym_t keysym;
    QList<xcb_keysym_t> modifiers;
};

// The default shortcuts as the keys a user presses on a US keyboard.
Key defaultKey(SnapAction action)
{
    const QList<xcb_keysym_t> ctrlAlt{control, alt};
    switch (action) {
    case SnapAction::leftHalf: return {0xff51, ctrlAlt};
    case SnapAction::rightHalf: return {0xff53, ctrlAlt};
    case SnapAction::topHalf: return {0xff52, ctrlAlt};
    case SnapAction::bottomHalf: return {0xff54, ctrlAlt};
    case SnapAction::topLeft: return {'u', ctrlAlt};
    case SnapAction::topRight: return {'i', ctrlAlt};
    case SnapAction::bottomLeft: return {'j', ctrlAlt};
    case SnapAction::bottomRight: return {'k', ctrlAlt};
    case SnapAction::firstThird: return {'d', ctrlAlt};
    case SnapAction::centerThird: return {'f', ctrlAlt};
    case SnapAction::lastThird: return {'g', ctrlAlt};
    case SnapAction::firstTwoThirds: return {'e', ctrlAlt};
    case SnapAction::lastTwoThirds: return {'t', ctrlAlt};
    case SnapAction::maximize: return {0xff0d, ctrlAlt};
    case SnapAction::center: return {'c', ctrlAlt};
    case SnapAction::restore: return {0xff08, ctrlAlt};
    case SnapAction::previousDisplay: return {0xff51, {control, alt, super}};
    case SnapAction::nextDisplay: return {0xff53, {control, alt, super}};
    }
    return {};
}

const Rect leftArea{0, 0, 1440, 900};
const Rect rightArea{1440, 0, 1920, 1080};

QRect toQRect(const Rect &r)
{
    return QRect(int(r.x), int(r.y), int(r.width), int(r.height));
}

Rect fromQRect(const QRect &r)
{
    return Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

} // namespace

class PanemakerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    TestClient *m_client = nullptr;
    QProcess *m_panemaker = nullptr;
    QStringList m_lines;
    std::optional<double> m_runningGap;
    int m_opened = 0;

    QString settingsPath() const
    {
        return m_desktop->environment().value(u"XDG_CONFIG_HOME"_s) + u"/panemaker/panemaker.conf"_s;
    }

    void readLines()
    {
        if (!m_panemaker)
            return;
        const QString text = QString::fromUtf8(m_panemaker->readAllStandardError());
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
            m_lines.append(line.section(u"[app] "_s, 1));
    }

    bool waitForLine(const QString &line)
    {
        return m_desktop->waitUntil([&] {
            readLines();
            return m_lines.contains(line);
        });
    }

    bool startPanemaker(double gap)
    {
        stopPanemaker();
        QDir().mkpath(QFileInfo(settingsPath()).path());
        QFile settings(settingsPath());
        if (!settings.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        settings.write(QStringLiteral("[General]\naskToFillGap=false\nwindowGap=%1\n").arg(gap).toUtf8());
        settings.close();
        m_lines.clear();
        m_panemaker = m_desktop->startProcess(QStringLiteral(PANEMAKER_PROGRAM), {});
        m_runningGap = gap;
        return m_panemaker && m_desktop->waitUntil([&] {
            readLines();
            return std::any_of(m_lines.begin(), m_lines.end(),
                               [](const QString &l) { return l.startsWith(u"Launched "_s); });
        });
    }

    void stopPanemaker()
    {
        if (m_panemaker && m_panemaker->state() == QProcess::Running) {
            m_panemaker->terminate();
            m_panemaker->waitForFinished(5000);
        }
        m_panemaker = nullptr;
        m_runningGap.reset();
    }

    xcb_window_t openActive(const QStringList &options)
    {
        const QString name = u"w%1"_s.arg(++m_opened);
        const std::optional<xcb_window_t> id = m_client->open(name, options);
        if (!id)
            qFatal("no window: %s", qPrintable(m_client->lastError()));
        m_desktop->activate(*id);
        if (!m_desktop->waitUntil([&] { return m_desktop->activeWindow() == id; }))
            qFatal("the window did not become active");
        return *id;
    }

    bool press(SnapAction action)
    {
        const Key key = defaultKey(action);
        return m_desktop->pressKey(key.keysym, key.modifiers);
    }

    bool landsAt(xcb_window_t window, const Rect &expected)
    {
        return m_desktop->waitUntil([&] { return m_desktop->outerFrame(window) == toQRect(expected); }, 3000);
    }

    QString describe(xcb_window_t window)
    {
        const QRect r = m_desktop->outerFrame(window).value_or(QRect());
        readLines();
        return u"at (%1, %2, %3, %4); log: %5"_s.arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height())
            .arg(m_lines.join(u" | "_s));
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_LOG_STDERR", "1");
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>();
        QString error;
        QVERIFY2(m_desktop->start(&error), qPrintable(error));
        m_client = m_desktop->startClient(&error);
        QVERIFY2(m_client, qPrintable(error));
    }

    void cleanup()
    {
        for (int i = 1; i <= m_opened; ++i) {
            if (m_client->window(u"w%1"_s.arg(i)))
                m_client->destroy(u"w%1"_s.arg(i));
        }
        if (m_panemaker)
            QVERIFY2(m_panemaker->state() == QProcess::Running, "Panemaker is still alive");
    }

    void cleanupTestCase()
    {
        stopPanemaker();
        m_desktop.reset();
    }

    void everyDefaultShortcutSnapsTheActiveWindow_data()
    {
        QTest::addColumn<double>("gap");
        QTest::addColumn<SnapAction>("action");
        for (double gap : {0.0, 8.0}) {
            for (SnapAction action : SnapAction::all())
                QTest::addRow("%s, gap %g", qPrintable(action.rawValue()), gap) << gap << action;
        }
    }
    void everyDefaultShortcutSnapsTheActiveWindow()
    {
        QFETCH(double, gap);
        QFETCH(SnapAction, action);
        if (m_runningGap != gap)
            QVERIFY(startPanemaker(gap));
        const xcb_window_t window = openActive({u"x=1700"_s, u"y=200"_s, u"w=500"_s, u"h=400"_s});
        const Rect start = fromQRect(*m_desktop->outerFrame(window));

        Rect expected;
        if (action == SnapAction::restore) {
            QVERIFY(press(SnapAction::leftHalf));
            QVERIFY2(landsAt(window, gappedFrame(Rect{0, 0, 0.5, 1}, rightArea, gap)), qPrintable(describe(window)));
            expected = start;
        } else if (action == SnapAction::center) {
            expected = centeredFrame(start.size(), rightArea, gap);
        } else if (action == SnapAction::previousDisplay || action == SnapAction::nextDisplay) {
            expected = mapFrame(start, rightArea, leftArea);
        } else {
            expected = gappedFrame(*action.unitRect(true), rightArea, gap);
        }
        QVERIFY(press(action));
        QVERIFY2(landsAt(window, expected), qPrintable(describe(window) + u" expected "_s + expected.toString()));
    }

    void restoreReturnsToAHandMovedFrame()
    {
        QVERIFY(startPanemaker(0));
        const xcb_window_t window = openActive({u"x=200"_s, u"y=200"_s, u"w=400"_s, u"h=300"_s});
        QVERIFY(press(SnapAction::leftHalf));
        QVERIFY(landsAt(window, Rect{0, 0, 720, 900}));
        // Drag it by the title bar, as a user would.
        const QRect snapped = *m_desktop->outerFrame(window);
        m_desktop->movePointer(snapped.x() + 300, snapped.y() + 8);
        m_desktop->pressButton();
        m_desktop->movePointer(snapped.x() + 305, snapped.y() + 12);
        m_desktop->movePointer(snapped.x() + 500, snapped.y() + 108);
        m_desktop->releaseButton();
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->outerFrame(window)->topLeft() == QPoint(200, 100); }));
        const QRect dragged = *m_desktop->outerFrame(window);
        QVERIFY(press(SnapAction::rightHalf));
        QVERIFY(landsAt(window, Rect{720, 0, 720, 900}));
        QVERIFY(press(SnapAction::restore));
        QVERIFY2(m_desktop->waitUntil([&] { return m_desktop->outerFrame(window) == dragged; }),
                 qPrintable(describe(window)));
    }

    void minimumWidthWindowSitsFlushRight()
    {
        QVERIFY(startPanemaker(0));
        const xcb_window_t window = openActive({u"x=100"_s, u"y=100"_s, u"w=900"_s, u"h=300"_s, u"minw=900"_s});
        const int width = m_desktop->outerFrame(window)->width();
        QVERIFY(press(SnapAction::rightHalf));
        QVERIFY2(m_desktop->waitUntil([&] { return m_desktop->outerFrame(window)->right() == 1439; }),
                 qPrintable(describe(window)));
        QCOMPARE(m_desktop->outerFrame(window)->width(), width);
    }

    void fullScreenWindowsAreRefused()
    {
        QVERIFY(startPanemaker(0));
        const xcb_window_t window = openActive({u"fullscreen=1"_s});
        const QRect before = *m_desktop->outerFrame(window);
        QVERIFY(press(SnapAction::leftHalf));
        QVERIFY(waitForLine(u"leftHalf: PanemakerTestClient's window is full screen"_s));
        QCOMPARE(*m_desktop->outerFrame(window), before);
    }

    void lockKeysDoNotStopShortcuts_data()
    {
        QTest::addColumn<xcb_keysym_t>("lock");
        QTest::newRow("Caps Lock") << capsLock;
        QTest::newRow("Num Lock") << numLock;
    }
    void lockKeysDoNotStopShortcuts()
    {
        QFETCH(xcb_keysym_t, lock);
        QVERIFY(startPanemaker(0));
        const xcb_window_t window = openActive({u"x=100"_s, u"y=100"_s, u"w=400"_s, u"h=300"_s});
        QVERIFY(m_desktop->pressKey(lock));
        QVERIFY(press(SnapAction::bottomHalf));
        QVERIFY2(landsAt(window, Rect{0, 450, 1440, 450}), qPrintable(describe(window)));
        QVERIFY(m_desktop->pressKey(lock)); // off again
    }

    void shortcutsSurviveALayoutSwitch()
    {
        QVERIFY(startPanemaker(0));
        QVERIFY(m_desktop->run(u"setxkbmap"_s, {u"-layout"_s, u"de"_s}));
        const xcb_window_t window = openActive({u"x=100"_s, u"y=100"_s, u"w=400"_s, u"h=300"_s});
        QVERIFY(press(SnapAction::topHalf));
        QVERIFY2(landsAt(window, Rect{0, 0, 1440, 450}), qPrintable(describe(window)));
        QVERIFY(m_desktop->run(u"setxkbmap"_s, {u"-layout"_s, u"us"_s}));
    }

    void combinationsHeldElsewhereAreReportedAndTheRestWork()
    {
        stopPanemaker();
        // Another program holds Ctrl+Alt+Up, as many window managers do.
        xcb_connection_t *other = xcb_connect(qPrintable(m_desktop->displayName()), nullptr);
        const xcb_setup_t *setup = xcb_get_setup(other);
        const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
        const xcb_keycode_t up = *m_desktop->keycode(0xff52);
        xcb_generic_error_t *error =
            xcb_request_check(other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, up,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        QVERIFY(!error);
        QVERIFY(startPanemaker(0));
        QVERIFY(waitForLine(u"Registered 17 shortcuts; failed: topHalf=10"_s));
        const xcb_window_t window = openActive({u"x=100"_s, u"y=100"_s, u"w=400"_s, u"h=300"_s});
        QVERIFY(press(SnapAction::leftHalf));
        QVERIFY(landsAt(window, Rect{0, 0, 720, 900}));
        xcb_disconnect(other);
        stopPanemaker();
    }

    void displayChangesAreNoticed()
    {
        QVERIFY(startPanemaker(0));
        QVERIFY(m_desktop->unplugRightMonitor());
        QVERIFY(waitForLine(u"Displays changed: 1 now"_s));
        QVERIFY(m_desktop->plugInRightMonitor());
        const xcb_window_t window = openActive({u"x=100"_s, u"y=100"_s, u"w=400"_s, u"h=300"_s});
        const Rect start = fromQRect(*m_desktop->outerFrame(window));
        QVERIFY(press(SnapAction::nextDisplay));
        QVERIFY2(landsAt(window, mapFrame(start, leftArea, rightArea)), qPrintable(describe(window)));
    }

    void aSecondStartHandsOverAndExits()
    {
        QVERIFY(startPanemaker(0));
        QProcess second;
        second.setProcessEnvironment(m_desktop->environment());
        second.start(QStringLiteral(PANEMAKER_PROGRAM), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(u"already running"_s));
        QVERIFY(waitForLine(u"Opened again while running"_s));
    }

    void quitsCleanlyOnSigterm()
    {
        QVERIFY(startPanemaker(0));
        QProcess *running = m_panemaker;
        ::kill(pid_t(running->processId()), SIGTERM);
        QVERIFY(running->waitForFinished(5000));
        QCOMPARE(running->exitStatus(), QProcess::NormalExit);
        QCOMPARE(running->exitCode(), 0);
        m_panemaker = nullptr;
        m_runningGap.reset();
    }

    // Last: it takes the desktop down.
    void quitsWhenTheDisplayGoesAway()
    {
        QVERIFY(startPanemaker(0));
        QProcess *running = m_panemaker;
        ::kill(pid_t(m_desktop->processIds().first()), SIGTERM); // the X server
        QVERIFY(running->waitForFinished(10000));
        readLines();
        QCOMPARE(running->exitStatus(), QProcess::NormalExit);
        QCOMPARE(running->exitCode(), 1);
        QVERIFY(m_lines.contains(u"Lost the connection to the X display; quitting"_s));
        m_panemaker = nullptr;
        m_runningGap.reset();
    }

    void saysSoWithoutADisplay()
    {
        QProcess lone;
        QProcessEnvironment environment = m_desktop->environment();
        environment.remove(u"DISPLAY"_s);
        lone.setProcessEnvironment(environment);
        lone.start(QStringLiteral(PANEMAKER_PROGRAM), {});
        QVERIFY(lone.waitForFinished(10000));
        QCOMPARE(lone.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(lone.readAllStandardError()), u"panemaker: no X display: DISPLAY is not set\n"_s);
    }
};

QTEST_GUILESS_MAIN(PanemakerTest)
#include "PanemakerTest.moc"
