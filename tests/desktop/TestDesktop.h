// TestDesktop: a private Xvfb with RandR monitors and a window manager, for integration tests; TestClient
// drives windows.
#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QMargins>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_keysyms.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QProcess;

namespace panemaker {

class TestDesktop;

// One panemaker-test-client process; its windows belong to another pid than the test's.
class TestClient final {
public:
    TestClient(const TestClient &) = delete;
    TestClient &operator=(const TestClient &) = delete;

    // Opens a window (options as the client program documents, e.g. "x=100", "title=My%20title") and, unless
    // it is override-redirect, waits until the window manager manages it and it is viewable. A window that
    // cannot be opened ends the test program (qFatal).
    xcb_window_t open(const QString &name, const QStringList &options = {});
    // Opens a window as open() does and makes it the active one.
    xcb_window_t openActive(const QString &name, const QStringList &options = {});
    bool destroy(const QString &name);
    // Sends one command line and returns the answer line, or nothing when none came in time.
    std::optional<QString> request(const QString &line);
    qint64 pid() const;

private:
    friend class TestDesktop;
    TestClient(TestDesktop &desktop, QProcess &process) : m_desktop(desktop), m_process(process) {}

    TestDesktop &m_desktop;
    QProcess &m_process;
};

class TestDesktop final {
public:
    // The window managers, with their panels, that a desktop can run. Each binds none of the keys tests press.
    enum class Session {
        openbox,          // no panel
        openboxWithTint2, // a 30 px tint2 task bar at the bottom of each monitor
        fluxbox,          // its stock toolbar at the bottom of the primary monitor
        icewm,            // its stock taskbar at the bottom of the primary monitor
    };
    // "openbox", "openbox-tint2", "fluxbox" or "icewm".
    static std::optional<Session> sessionNamed(const QString &name);
    // The one PANEMAKER_TEST_SESSION names, openbox when unset; an unknown name ends the test program.
    static Session sessionUnderTest();

    // Monitors, left to right: LEFT (primary, 1440×900 at 0,0), RIGHT (1920×1080 at 1440,0) and, on a desktop
    // of three, THIRD (1280×1024 at 3360,0).
    explicit TestDesktop(Session session = Session::openbox, int monitors = 2);
    // Ends every process it started and waits for them.
    ~TestDesktop();
    TestDesktop(const TestDesktop &) = delete;
    TestDesktop &operator=(const TestDesktop &) = delete;

    // Starts Xvfb, makes the monitors, starts the session's window manager and panel, and waits until windows
    // are managed, the panel has its place and a system tray runs. A desktop that cannot start ends the test program
    // (qFatal), as does every program it cannot start.
    void start();
    // The server and its monitors alone, as at login before the session's window manager is up; then
    // startWindowManager() starts it, with its panel if the session has one.
    void startWithoutWindowManager();
    void startWindowManager();
    // start(), then startClient(): what most tests begin with.
    TestClient *startWithClient()
    {
        start();
        return startClient();
    }

    QString displayName() const { return m_displayName; }
    Session session() const { return m_session; }
    QString sessionName() const;
    // What the session's panels leave of LEFT's 900 rows.
    int leftUsableHeight() const;
    // DISPLAY, HOME and XDG directories private to this desktop, an X11 session type.
    QProcessEnvironment environment() const;
    // Sets a variable for the processes started from now on, until the overrides are cleared.
    void overrideEnvironment(const QString &name, const QString &value) { m_overrides.insert(name, value); }
    void clearEnvironmentOverrides() { m_overrides.clear(); }
    xcb_window_t root() const { return m_root; }

    // A process in the desktop's environment that dies with the test and ends with the desktop.
    QProcess *startProcess(const QString &program, const QStringList &arguments);
    // Starts picom and returns once it owns the compositing manager selection.
    bool startCompositor();
    // Runs a short command in the desktop's environment to its end; true when it succeeded, else it warns why.
    bool run(const QString &program, const QStringList &arguments);
    // Takes RIGHT away the way a display is unplugged (the server announces the change), and back.
    bool unplugRightMonitor();
    bool plugInRightMonitor();
    // A running panemaker-test-client, owned by the desktop.
    TestClient *startClient();
    // Saves the whole screen as build/screenshots/NAME.png, the proof a person would look at.
    bool screenshot(const QString &name);
    static QString screenshotFile(const QString &name);
    // Every process started so far (Xvfb, the window manager, clients ...).
    QList<qint64> processIds() const { return m_processIds; }

    xcb_atom_t atom(const char *name);
    std::optional<QMargins> frameExtents(xcb_window_t client);
    // The visible frame the window manager draws: the client grown by _NET_FRAME_EXTENTS.
    std::optional<QRect> outerFrame(xcb_window_t client);
    QList<xcb_window_t> clientList();
    std::optional<xcb_window_t> activeWindow();
    // The frame of a window with this WM_NAME while it is viewable, such as one of Panemaker's own: a
    // managed one's outer frame, or one of the root's children that bypasses the window manager.
    std::optional<QRect> shownWindow(const QString &title);
    // The viewable managed window with this WM_NAME.
    std::optional<xcb_window_t> managedWindow(const QString &title);
    // WM_NAME, as Qt sets it before it maps a window; empty for none.
    static QByteArray windowName(xcb_connection_t *connection, xcb_window_t window);
    bool isViewable(xcb_window_t window);
    bool isShaded(xcb_window_t client);
    // Rolls the window up to its title bar, as a double click on it does in many window managers.
    bool shade(xcb_window_t client);
    void activate(xcb_window_t window);

    // XTEST input; each call returns once the server and the window manager have processed it.
    void movePointer(int x, int y) { fakeInput(XCB_MOTION_NOTIFY, 0, true, x, y); }
    void pressButton() { fakeInput(XCB_BUTTON_PRESS, 1, true); }
    void releaseButton() { fakeInput(XCB_BUTTON_RELEASE, 1, true); }
    std::optional<xcb_keycode_t> keycode(xcb_keysym_t keysym);
    // Presses the modifiers, the key, then releases them in reverse order.
    bool pressKey(xcb_keysym_t key, const QList<xcb_keysym_t> &modifiers = {});

    // Polls the condition, processing Qt events in between, until it holds or the time is up.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);
    // Blocks on a connection until an event that `matches` accepts comes (true) or the deadline passes; the
    // events before it are dropped.
    static bool awaitEvent(xcb_connection_t *connection, const QDeadlineTimer &deadline,
                           const std::function<bool(const xcb_generic_event_t *)> &matches);

private:
    friend class TestClient;
    void startServer();
    xcb_connection_t *openConnection() const;
    void setUpMonitors();
    bool waitForSelectionOwner(xcb_atom_t selection);
    bool manageProbe(const QDeadlineTimer &deadline);
    bool manageOutOfSight(const QDeadlineTimer &deadline);
    // Returns once the window manager has handled every event the server sent it before the call: Openbox can
    // miss a drag whose motion reaches it together with the button press, for one.
    bool syncWindowManager();
    bool isManaged(xcb_window_t client);
    void fakeInput(uint8_t type, uint8_t detail, bool settle, int x = 0, int y = 0);
    void sync();

    Session m_session;
    int m_monitors;
    QTemporaryDir m_home;
    QHash<QString, QString> m_overrides;
    QString m_displayName;
    xcb_connection_t *m_connection = nullptr; // the test's own, for assertions and input
    xcb_ewmh_connection_t m_ewmh{};
    // Its own connection, so that waiting for the answer never swallows events the test waits for.
    xcb_connection_t *m_syncConnection = nullptr;
    xcb_window_t m_syncWindow = XCB_WINDOW_NONE;
    uint32_t m_lastDesktop = 0, m_syncDesktop = 0; // where the sync window is, on Fluxbox
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_key_symbols_t *m_keySymbols = nullptr;
    QProcess *m_server = nullptr;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QList<qint64> m_processIds;
    std::vector<std::unique_ptr<TestClient>> m_clients;
};

} // namespace panemaker
