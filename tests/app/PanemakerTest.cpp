// The whole program on a private X server with three monitors: real key presses snap windows of another
// process.
#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"
#include "support/ProcessFigures.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

// Connects to the socket as the user nobody and sends the message; true when no answer came.
// Only root can: it keeps its right to enter the private directory while the socket sees nobody connect.
bool sendAsAnotherUser(const QString &socketPath, const QByteArray &message)
{
    const pid_t child = fork();
    if (child == 0) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        char answer = 0;
        // The refusal may come before the message is out: only an answer is a failure.
        const bool refused =
            seteuid(65534) == 0 && (setfsuid(0), true)
            && connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
            && (send(fd, message.constData(), message.size(), MSG_NOSIGNAL), read(fd, &answer, 1) <= 0);
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

class PanemakerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<PanemakerProcess> m_panemaker;
    TestClient *m_client = nullptr;
    int m_opened = 0;

    bool startPanemaker() { return m_panemaker->start({u"askToFillGap=false"_s}); }

    xcb_window_t openActive(const QStringList &options = {u"x=100"_s, u"y=100"_s, u"w=400"_s, u"h=300"_s})
    {
        return m_client->openActive(u"w%1"_s.arg(++m_opened), options);
    }

    // Runs panemaker with the arguments to its end: its exit status and what it wrote on standard error.
    std::pair<int, QString> runPanemaker(const QStringList &arguments)
    {
        QProcess command;
        command.setProcessEnvironment(m_desktop->environment());
        command.start(QStringLiteral(PANEMAKER_PROGRAM), arguments);
        if (!command.waitForFinished(10000))
            return {-1, u"still running"_s};
        return {command.exitCode(), QString::fromUtf8(command.readAllStandardError())};
    }

    QString instanceSocket() const
    {
        return m_desktop->environment().value(u"XDG_RUNTIME_DIR"_s) + u"/panemaker-"_s
               + m_desktop->displayName().replace(u':', u'_') + u".socket"_s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>(TestDesktop::Session::openbox, 3);
        m_client = m_desktop->startWithClient();
        m_panemaker = std::make_unique<PanemakerProcess>(*m_desktop);
    }

    void cleanup()
    {
        for (int i = 1; i <= m_opened; ++i)
            m_client->destroy(u"w%1"_s.arg(i));
        m_desktop->clearEnvironmentOverrides();
        QVERIFY2(!m_panemaker->hasDied(), "Panemaker died");
    }

    void windowsThatKeepDelayOrHideTheirSizeEndFlushRight_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("keepsItsWidth");
        QTest::addColumn<bool>("shaded");
        QTest::newRow("a minimum width") << QStringList{u"w=900"_s, u"minw=900"_s} << true << false;
        QTest::newRow("a size taken 50 ms late") << QStringList{u"w=500"_s, u"late=1"_s} << false << false;
        QTest::newRow("shaded to its title bar") << QStringList{u"w=500"_s} << false << true;
    }
    void windowsThatKeepDelayOrHideTheirSizeEndFlushRight()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, keepsItsWidth);
        QFETCH(bool, shaded);
        QVERIFY(startPanemaker());
        const xcb_window_t window = openActive(QStringList{u"x=100"_s, u"y=100"_s, u"h=300"_s} + options);
        const int width = keepsItsWidth ? m_desktop->outerFrame(window)->width() : 720;
        if (shaded)
            QVERIFY(m_desktop->shade(window));
        const std::optional<QString> line = m_panemaker->snap(SnapAction::rightHalf);
        QVERIFY2(line && line->endsWith(u"now (%1, 0, %2, 900), AX result 0"_s.arg(1440 - width).arg(width)),
                 qPrintable(line.value_or(u"no line"_s)));
        QVERIFY(m_panemaker->landsAt(window, {1440 - width, 0, width, 900}));
        QVERIFY(!m_desktop->isShaded(window));
    }

    // A lock key, another keyboard layout or a combination another program holds does not stop the shortcuts.
    void shortcutsSnapWhateverTheState_data()
    {
        QTest::addColumn<xcb_keysym_t>("lock");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("upHeld"); // Ctrl+Alt+Up (topHalf), as many window managers hold it
        QTest::newRow("Caps Lock on") << xcb_keysym_t(0xffe5) << QString() << false;
        QTest::newRow("Num Lock on") << xcb_keysym_t(0xff7f) << QString() << false;
        QTest::newRow("a German layout") << xcb_keysym_t(0) << u"de"_s << false;
        QTest::newRow("Ctrl+Alt+Up held by another program") << xcb_keysym_t(0) << QString() << true;
    }
    void shortcutsSnapWhateverTheState()
    {
        QFETCH(xcb_keysym_t, lock);
        QFETCH(QString, layout);
        QFETCH(bool, upHeld);
        m_panemaker->stop();
        const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> other(
            xcb_connect(qPrintable(m_desktop->displayName()), nullptr), xcb_disconnect);
        if (upHeld)
            QVERIFY(!xcb_request_check(other.get(), xcb_grab_key_checked(other.get(), 0, m_desktop->root(),
                                                                         XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1,
                                                                         *m_desktop->keycode(0xff52),
                                                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        QVERIFY(startPanemaker());
        QVERIFY(m_panemaker->waitForLine(upHeld ? u"Registered 17 shortcuts; failed: topHalf=10"_s
                                                : u"Registered 18 shortcuts; failed: "_s));
        if (!layout.isEmpty())
            QVERIFY(m_desktop->run(u"setxkbmap"_s, {u"-layout"_s, layout}));
        const xcb_window_t window = openActive();
        if (lock)
            QVERIFY(m_desktop->pressKey(lock));
        QVERIFY(m_panemaker->press(SnapAction::bottomHalf));
        const bool landed = m_panemaker->landsAt(window, {0, 450, 1440, 450});
        if (lock)
            QVERIFY(m_desktop->pressKey(lock)); // off again
        if (!layout.isEmpty())
            QVERIFY(m_desktop->run(u"setxkbmap"_s, {u"-layout"_s, u"us"_s}));
        QVERIFY(landed);
    }

    // Each move keeps the window's place and size relative to the display and takes every pixel it then
    // touches, so that it grows by a pixel or two on the way round. RIGHT comes back after THIRD in the
    // server's list, yet the moves keep to the order on screen.
    void displayMovesGoRoundTheDisplaysFromLeftToRight()
    {
        QVERIFY(startPanemaker());
        QVERIFY(m_desktop->unplugRightMonitor());
        QVERIFY(m_panemaker->waitForLine(u"Displays changed: 2 now"_s));
        QVERIFY(m_desktop->plugInRightMonitor());
        const xcb_window_t window = openActive();
        const std::pair<SnapAction, QRect> moves[] = {
            {SnapAction::centerThird, {480, 0, 480, 900}},
            {SnapAction::nextDisplay, {2080, 0, 640, 1080}},      // LEFT to RIGHT: 4/3 wider, 1.2 higher
            {SnapAction::nextDisplay, {3786, 0, 428, 1024}},      // to THIRD: x 3786.67, width 426.67
            {SnapAction::nextDisplay, {479, 0, 482, 900}},        // round to LEFT: x 479.25, width 481.5
            {SnapAction::previousDisplay, {3785, 0, 430, 1024}},  // back round: x 3785.78, width 428.44
            {SnapAction::previousDisplay, {2077, 0, 646, 1080}}}; // x 2077.5, width 645
        for (const auto &[action, expected] : moves) {
            QVERIFY(m_panemaker->snap(action));
            QVERIFY(m_panemaker->landsAt(window, expected));
        }
    }

    // Asked by name from the command line, as another program's key binding would, each action snaps the
    // focused window: here from 100,100 402×325 (with its frame) on LEFT, 1440×900. RIGHT is 1920×1080 at 1440,
    // THIRD 1280×1024 at 3360; a move there scales the frame and takes every pixel it touches.
    void actionsByNameSnapTheFocusedWindow_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QRect>("expected");
        const std::pair<QStringList, QRect> rows[] = {
            {{u"leftHalf"_s}, {0, 0, 720, 900}},
            {{u"rightHalf"_s}, {720, 0, 720, 900}},
            {{u"topHalf"_s}, {0, 0, 1440, 450}},
            {{u"bottomHalf"_s}, {0, 450, 1440, 450}},
            {{u"topLeft"_s}, {0, 0, 720, 450}},
            {{u"topRight"_s}, {720, 0, 720, 450}},
            {{u"bottomLeft"_s}, {0, 450, 720, 450}},
            {{u"bottomRight"_s}, {720, 450, 720, 450}},
            {{u"firstThird"_s}, {0, 0, 480, 900}},
            {{u"centerThird"_s}, {480, 0, 480, 900}},
            {{u"lastThird"_s}, {960, 0, 480, 900}},
            {{u"firstTwoThirds"_s}, {0, 0, 960, 900}},
            {{u"lastTwoThirds"_s}, {480, 0, 960, 900}},
            {{u"maximize"_s}, {0, 0, 1440, 900}},
            {{u"center"_s}, {519, 288, 402, 325}}, // y 287.5
            {{u"leftHalf"_s, u"restore"_s}, {100, 100, 402, 325}},
            {{u"previousDisplay"_s}, {3448, 113, 359, 371}}, // x 3448.89, width 357.33; y 113.78, height 369.78
            {{u"nextDisplay"_s}, {1573, 120, 537, 390}}};    // x 1573.33, width 536
        for (const auto &[actions, expected] : rows)
            QTest::newRow(qPrintable(actions.join(u", "_s))) << actions << expected;
    }
    void actionsByNameSnapTheFocusedWindow()
    {
        QFETCH(QStringList, actions);
        QFETCH(QRect, expected);
        if (!m_panemaker->process())
            QVERIFY(startPanemaker());
        const xcb_window_t window = openActive();
        for (const QString &action : actions)
            QCOMPARE(runPanemaker({u"--action"_s, action}), std::pair(0, QString()));
        QVERIFY(m_panemaker->landsAt(window, expected));
    }

    void actionsThatCannotBeDoneExitWithTheirOwnStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("an unknown action") << QStringList{u"--action"_s, u"leftHalves"_s} << true << 2
                                           << u"unknown action 'leftHalves' (panemaker --help lists them)"_s;
        QTest::newRow("an option without its action")
            << QStringList{u"--action"_s} << true << 2 << u"Missing value after '--action'."_s;
        QTest::newRow("an unknown option")
            << QStringList{u"--actions"_s, u"leftHalf"_s} << true << 2 << u"Unknown option 'actions'."_s;
        QTest::newRow("nothing to restore") << QStringList{u"--action"_s, u"restore"_s} << true << 4
                                            << u"refused: restore: the window was not snapped"_s;
        QTest::newRow("no Panemaker running")
            << QStringList{u"--action"_s, u"leftHalf"_s} << false << 3 << u"Panemaker is not running on %1"_s;
    }
    void actionsThatCannotBeDoneExitWithTheirOwnStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, running);
        QFETCH(int, status);
        QFETCH(QString, error);
        if (running && !m_panemaker->process())
            QVERIFY(startPanemaker());
        if (!running)
            m_panemaker->stop();
        const xcb_window_t window = openActive();
        QCOMPARE(runPanemaker(arguments),
                 std::pair(status, u"panemaker: "_s + error.replace(u"%1"_s, m_desktop->displayName()) + u'\n'));
        QVERIFY(m_panemaker->landsAt(window, {100, 100, 402, 325}));
    }

    void startsAtOnceLeaveExactlyOneRunning()
    {
        m_panemaker->stop();
        for (int round = 0; round < 20; ++round) {
            std::vector<std::unique_ptr<QProcess>> starts;
            for (int i = 0; i < 10; ++i) {
                starts.push_back(std::make_unique<QProcess>());
                starts.back()->setProcessEnvironment(m_desktop->environment());
                starts.back()->start(QStringLiteral(PANEMAKER_PROGRAM), {});
            }
            const auto running = [&] {
                return std::count_if(starts.begin(), starts.end(),
                                     [](const auto &p) { return p->state() != QProcess::NotRunning; });
            };
            QVERIFY(m_desktop->waitUntil([&] { return running() <= 1; }, 20000));
            QVERIFY2(running() == 1, qPrintable(u"round %1: %2 running"_s.arg(round).arg(running())));
            for (const auto &start : starts) {
                if (start->state() == QProcess::NotRunning)
                    QCOMPARE(start->exitCode(), 0);
                start->terminate();
                start->waitForFinished(5000);
            }
        }
    }

    // A second start hands over to the first and exits, whatever others left in the way or sent the first
    // before: a message that is not a start's is dropped.
    void aSecondStartHandsOverDespiteSquatters_data()
    {
        QTest::addColumn<QString>("squat");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("another word first") << u"none"_s << QByteArray("quit\n");
        QTest::newRow("an oversized message first") << u"none"_s << QByteArray(100000, 'r');
        QTest::newRow("an unknown action first") << u"none"_s << QByteArray("action leftHalves\n");
        QTest::newRow("an action from another user first") << u"user"_s << QByteArray("action leftHalf\n");
        QTest::newRow("a socket where older versions looked") << u"tmp"_s << QByteArray();
        QTest::newRow("a runtime directory others can enter") << u"runtime"_s << QByteArray();
        QTest::newRow("a plain file in the socket's place") << u"file"_s << QByteArray();
    }
    void aSecondStartHandsOverDespiteSquatters()
    {
        QFETCH(QString, squat);
        QFETCH(QByteArray, message);
        m_panemaker->stop();
        QTemporaryDir place;
        QLocalServer squatter;
        const QString display = m_desktop->displayName().replace(u':', u'_');
        if (squat == u"tmp"_s) {
            m_desktop->overrideEnvironment(u"TMPDIR"_s, place.path());
            QVERIFY(squatter.listen(place.filePath(u"panemaker-%1-%2"_s.arg(getuid()).arg(display))));
        } else if (squat == u"runtime"_s) {
            // Another user's directory when the tests run as root; one anybody may enter otherwise.
            QVERIFY(::chmod(QFile::encodeName(place.path()).constData(), 0755) == 0);
            if (getuid() == 0)
                QVERIFY(::chown(QFile::encodeName(place.path()).constData(), 65534, 65534) == 0);
            m_desktop->overrideEnvironment(u"XDG_RUNTIME_DIR"_s, place.path());
            QVERIFY(squatter.listen(place.filePath(u"panemaker-%1.socket"_s.arg(display))));
        } else if (squat == u"file"_s) {
            QFile file(instanceSocket());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(startPanemaker());
        if (squat == u"user"_s) {
            if (getuid() != 0)
                QSKIP("only root can connect as another user");
            QVERIFY(sendAsAnotherUser(instanceSocket(), message));
            QVERIFY(m_panemaker->waitForLine(u"Refused a start of Panemaker by another user"_s));
        } else if (!message.isEmpty()) {
            QLocalSocket socket;
            socket.connectToServer(instanceSocket());
            QVERIFY(socket.waitForConnected(2000));
            socket.write(message);
            QVERIFY(socket.waitForBytesWritten(2000));
            QVERIFY(m_panemaker->waitForLine(u"Dropped a malformed message from a later start"_s));
            QVERIFY(!m_panemaker->lines().contains(u"Opened again while running"_s));
        }
        QProcess second;
        second.setProcessEnvironment(m_desktop->environment());
        second.start(QStringLiteral(PANEMAKER_PROGRAM), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(u"already running"_s));
        QVERIFY(m_panemaker->waitForLine(u"Opened again while running"_s));
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->shownWindow(u"Panemaker Settings"_s).has_value(); }));
        QVERIFY(!squatter.hasPendingConnections());
    }

    // Closed again, the settings window leaves nothing running and little behind.
    void theSettingsWindowLeavesNoWorkBehind()
    {
        QVERIFY(startPanemaker());
        // The one look for the tray, a second after the start, is behind.
        QVERIFY(m_desktop->waitUntil([&] { return !m_panemaker->lines().filter(u"Menu bar item frame"_s).isEmpty(); }));
        QProcess second;
        second.setProcessEnvironment(m_desktop->environment());
        second.start(QStringLiteral(PANEMAKER_PROGRAM), {});
        QVERIFY(second.waitForFinished(10000));
        std::optional<xcb_window_t> settings;
        QVERIFY(m_desktop->waitUntil(
            [&] { return (settings = m_desktop->managedWindow(u"Panemaker Settings"_s)).has_value(); }));
        m_desktop->activate(*settings);
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->activeWindow() == settings; }));
        QVERIFY(m_desktop->pressKey('w', {0xffe3}));
        QVERIFY(m_desktop->waitUntil([&] { return !m_desktop->shownWindow(u"Panemaker Settings"_s); }));
        QTest::qWait(500); // the window is deleted once the event loop is back
        const qint64 pid = m_panemaker->process()->processId();
        const std::optional<qint64> before = contextSwitches(pid);
        QTest::qWait(2500); // longer than the scan of the processes while the window is open
        QCOMPARE(contextSwitches(pid), before);
#if !defined(__SANITIZE_ADDRESS__)
        QVERIFY2(residentKb(pid) <= 45 * 1024, qPrintable(u"%1 kB resident"_s.arg(residentKb(pid))));
#endif
    }

    // Started at login before the window manager, it says so in its settings window, and snaps as soon as
    // one runs.
    void startsWorkingWhenAWindowManagerComes()
    {
        TestDesktop late(TestDesktop::Session::openbox);
        late.startWithoutWindowManager();
        PanemakerProcess panemaker(late);
        QVERIFY(panemaker.start({u"askToFillGap=false"_s}));
        QVERIFY(panemaker.lines().filter(u"Launched"_s).constFirst().contains(u"accessibility false"_s));
        QVERIFY(late.waitUntil([&] { return late.shownWindow(u"Panemaker Settings"_s).has_value(); }));
        QVERIFY(late.screenshot(u"settings-no-window-manager"_s));
        late.startWindowManager();
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY(panemaker.waitForLine(u"Accessibility true"_s));
        QVERIFY2(sinceStart.elapsed() < 2000, qPrintable(u"%1 ms"_s.arg(sinceStart.elapsed())));
        const xcb_window_t window = late.startClient()->openActive(u"late"_s, {u"x=100"_s, u"y=100"_s});
        QVERIFY(panemaker.snap(SnapAction::leftHalf));
        QVERIFY(panemaker.landsAt(window, QRect(0, 0, 720, 900)));
    }

    void quitsCleanly_data()
    {
        QTest::addColumn<bool>("displayGone");
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << false << int(SIGTERM);
        QTest::newRow("SIGHUP, its terminal closed") << false << int(SIGHUP);
        QTest::newRow("the X server gone, last as it takes the desktop down") << true << int(SIGTERM);
    }
    void quitsCleanly()
    {
        QFETCH(bool, displayGone);
        QFETCH(int, signal);
        QVERIFY(startPanemaker());
        QVERIFY(QFileInfo::exists(instanceSocket()));
        QProcess *running = m_panemaker->process();
        ::kill(pid_t(displayGone ? m_desktop->processIds().first() : running->processId()), signal);
        QVERIFY(running->waitForFinished(10000));
        QCOMPARE(running->exitStatus(), QProcess::NormalExit);
        QCOMPARE(running->exitCode(), displayGone ? 1 : 0);
        QCOMPARE(m_panemaker->lines().contains(u"Lost the connection to the X display; quitting"_s), displayGone);
        QVERIFY(!QFileInfo::exists(instanceSocket()));
        m_panemaker->stop();
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
