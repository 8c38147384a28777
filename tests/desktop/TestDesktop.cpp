// TestDesktop and TestClient: starting, querying and driving the private test desktop.
#include "desktop/TestDesktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <xcb/randr.h>
#include <xcb/xtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace panemaker {

namespace {

constexpr int startTimeoutMs = 10000;

// The sessions' names, in the order of TestDesktop::Session.
const QStringList sessionNames{u"openbox"_s, u"openbox-tint2"_s, u"fluxbox"_s, u"icewm"_s};

// The xrandr --setmonitor arguments of each monitor, left to right. Naming the real output ("screen" in Xvfb) in
// the first removes the automatic whole-screen monitor.
const QStringList monitorArguments[] = {
    {u"*LEFT"_s, u"1440/381x900/238+0+0"_s, u"screen"_s},
    {u"RIGHT"_s, u"1920/508x1080/286+1440+0"_s, u"none"_s},
    {u"THIRD"_s, u"1280/338x1024/270+3360+0"_s, u"none"_s},
};

template <typename Reply> std::unique_ptr<Reply, decltype(&std::free)> owned(Reply *reply)
{
    return {reply, &std::free};
}

// Nothing may outlive a test that crashed or was killed; the parent check closes the race of a parent dying before
// the death signal was armed.
void dieWithParent(QProcess &process)
{
    process.setChildProcessModifier([parent = getpid()] {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
    });
}

QString outputOf(QProcess &process)
{
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
}

} // namespace

std::optional<QString> TestClient::request(const QString &line)
{
    m_process.write((line + u'\n').toUtf8());
    TestDesktop::waitUntil([this] { return m_process.canReadLine() || m_process.state() != QProcess::Running; });
    if (!m_process.canReadLine())
        return std::nullopt;
    return QString::fromUtf8(m_process.readLine()).trimmed();
}

xcb_window_t TestClient::open(const QString &name, const QStringList &options)
{
    const QString answer =
        request(QStringList{u"open"_s, name, options.join(u' ')}.join(u' ')).value_or(u"no answer"_s);
    const QStringList words = answer.split(u' ');
    bool ok = false;
    const xcb_window_t window = words.size() == 3 && words[0] == u"opened"_s ? words[2].toUInt(&ok, 16) : 0;
    if (!ok)
        qFatal("the test client could not open %s: %s", qPrintable(name), qPrintable(answer));
    if (!options.contains(u"override=1"_s)
        && !TestDesktop::waitUntil([&] { return m_desktop.isManaged(window) && m_desktop.isViewable(window); }))
        qFatal("window %s was not managed", qPrintable(name));
    return window;
}

xcb_window_t TestClient::openActive(const QString &name, const QStringList &options)
{
    const xcb_window_t window = open(name, options);
    m_desktop.activate(window);
    if (!TestDesktop::waitUntil([&] { return m_desktop.activeWindow() == window; }))
        qFatal("window %s did not become active", qPrintable(name));
    return window;
}

bool TestClient::destroy(const QString &name)
{
    return request(u"destroy "_s + name) == u"destroyed "_s + name;
}

qint64 TestClient::pid() const
{
    return m_process.processId();
}

std::optional<TestDesktop::Session> TestDesktop::sessionNamed(const QString &name)
{
    const qsizetype index = sessionNames.indexOf(name);
    return index < 0 ? std::nullopt : std::optional(Session(index));
}

TestDesktop::Session TestDesktop::sessionUnderTest()
{
    const QString name = qEnvironmentVariable("PANEMAKER_TEST_SESSION", u"openbox"_s);
    const std::optional<Session> session = sessionNamed(name);
    if (!session)
        qFatal("no test session %s", qPrintable(name));
    return *session;
}

QString TestDesktop::sessionName() const
{
    return sessionNames[int(m_session)];
}

int TestDesktop::leftUsableHeight() const
{
    // tint2's bar and Fluxbox's and IceWM's own, measured on Debian 12.
    return std::array{900, 870, 880, 874}[std::size_t(m_session)];
}

TestDesktop::TestDesktop(Session session, int monitors) : m_session(session), m_monitors(monitors)
{
    for (const char *directory : {"config", "cache", "data", "state", "runtime"})
        QDir(m_home.path()).mkpath(QString::fromLatin1(directory));
    // As a session's runtime directory is: the user's alone.
    QFile::setPermissions(m_home.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TestDesktop::~TestDesktop()
{
    m_clients.clear();
    // The X server, started first, goes last so that its clients never see it vanish first, and by SIGTERM, which
    // lets it free its display number.
    for (auto process = m_processes.rbegin(); process + 1 < m_processes.rend(); ++process) {
        (*process)->kill();
        (*process)->waitForFinished(startTimeoutMs);
    }
    if (m_keySymbols)
        xcb_key_symbols_free(m_keySymbols);
    if (m_ewmh.connection)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_syncConnection)
        xcb_disconnect(m_syncConnection);
    if (m_connection)
        xcb_disconnect(m_connection);
    if (m_server) {
        m_server->terminate();
        m_server->waitForFinished(startTimeoutMs);
    }
}

void TestDesktop::start()
{
    startWithoutWindowManager();
    startWindowManager();
    // A program that lives in the tray needs one, else it opens a window to stay in reach. Openbox alone has
    // none: the desktop's own connection stands in for it (and embeds nothing); every panel brings its own.
    const xcb_atom_t tray = atom("_NET_SYSTEM_TRAY_S0");
    if (m_session == Session::openbox)
        xcb_set_selection_owner(m_connection, m_root, tray, XCB_CURRENT_TIME);
    if (!waitForSelectionOwner(tray))
        qFatal("the session has no system tray");
}

bool TestDesktop::waitForSelectionOwner(xcb_atom_t selection)
{
    return waitUntil([&] {
        const auto owner = owned(
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, selection), nullptr));
        return owner && owner->owner != XCB_WINDOW_NONE;
    });
}

void TestDesktop::startWithoutWindowManager()
{
    if (!m_home.isValid())
        qFatal("cannot create a temporary directory: %s", qPrintable(m_home.errorString()));
    startServer();
    setUpMonitors();
}

QProcessEnvironment TestDesktop::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_displayName);
    environment.insert(u"HOME"_s, m_home.path());
    for (const QString &kind : {u"CONFIG"_s, u"CACHE"_s, u"DATA"_s, u"STATE"_s, u"RUNTIME"_s})
        environment.insert(u"XDG_%1_%2"_s.arg(kind, kind == u"RUNTIME"_s ? u"DIR"_s : u"HOME"_s),
                           m_home.filePath(kind.toLower()));
    environment.insert(u"XDG_SESSION_TYPE"_s, u"x11"_s);
    // A desktop without a session bus, never the user's. Without an address libdbus forks to
    // start one, and a fork while another thread allocates hangs the child under the sanitizers.
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + m_home.filePath(u"no-session-bus"_s));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    for (auto it = m_overrides.cbegin(); it != m_overrides.cend(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

QProcess *TestDesktop::startProcess(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    dieWithParent(*process);
    process->start(program, arguments);
    if (!process->waitForStarted(startTimeoutMs))
        qFatal("cannot start %s: %s", qPrintable(program), qPrintable(process->errorString()));
    m_processIds.append(process->processId());
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

bool TestDesktop::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    dieWithParent(process);
    process.start(program, arguments);
    if (process.waitForFinished(startTimeoutMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    process.kill();
    process.waitForFinished();
    qWarning("%s %s failed: %s %s", qPrintable(program), qPrintable(arguments.join(u' ')),
             qPrintable(process.errorString()), qPrintable(outputOf(process)));
    return false;
}

QString TestDesktop::screenshotFile(const QString &name)
{
    return QStringLiteral(PANEMAKER_SCREENSHOTS "/") + name + u".png"_s;
}

bool TestDesktop::screenshot(const QString &name)
{
    QDir().mkpath(QStringLiteral(PANEMAKER_SCREENSHOTS));
    return run(u"import"_s, {u"-silent"_s, u"-window"_s, u"root"_s, screenshotFile(name)});
}

TestClient *TestDesktop::startClient()
{
    QProcess *process = startProcess(QStringLiteral(PANEMAKER_TEST_CLIENT), {});
    m_clients.push_back(std::unique_ptr<TestClient>(new TestClient(*this, *process)));
    return m_clients.back().get();
}

void TestDesktop::startServer()
{
    // -displayfd: Xvfb picks a free display and writes its number once it accepts connections. -noreset: without
    // it the server resets when its last client disconnects, which drops the monitors that xrandr set up.
    const QString size = m_monitors == 3 ? u"4640x1080x24"_s : u"3360x1080x24"_s;
    m_server = startProcess(
        u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, size, u"-nolisten"_s, u"tcp"_s, u"-noreset"_s});
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!m_server->canReadLine() && m_server->waitForReadyRead(int(deadline.remainingTime()))) {
    }
    if (!m_server->canReadLine())
        qFatal("Xvfb did not start: %s", qPrintable(outputOf(*m_server)));
    m_displayName = u':' + QString::fromLatin1(m_server->readLine().trimmed());

    m_connection = openConnection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_keySymbols = xcb_key_symbols_alloc(m_connection);
    if (!xcb_ewmh_init_atoms_replies(&m_ewmh, xcb_ewmh_init_atoms(m_connection, &m_ewmh), nullptr))
        qFatal("cannot intern the EWMH atoms");
}

xcb_connection_t *TestDesktop::openConnection() const
{
    xcb_connection_t *connection = xcb_connect(m_displayName.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection))
        qFatal("cannot connect to %s", qPrintable(m_displayName));
    return connection;
}

bool TestDesktop::unplugRightMonitor()
{
    if (!run(u"xrandr"_s, {u"--delmonitor"_s, u"RIGHT"_s}))
        return false;
    // Redefining monitors sends no event; switching the output off and on again does, as unplugging a display
    // would. Switching it off reports a failure, and run() warns, but it takes effect.
    run(u"xrandr"_s, {u"--output"_s, u"screen"_s, u"--off"_s});
    return run(u"xrandr"_s, {u"--output"_s, u"screen"_s, u"--auto"_s});
}

bool TestDesktop::plugInRightMonitor()
{
    return run(u"xrandr"_s, QStringList{u"--setmonitor"_s} + monitorArguments[1]);
}

void TestDesktop::setUpMonitors()
{
    for (int i = 0; i < m_monitors; ++i) {
        if (!run(u"xrandr"_s, QStringList{u"--setmonitor"_s} + monitorArguments[i]))
            qFatal("cannot set up the monitors");
    }
    const auto monitors =
        owned(xcb_randr_get_monitors_reply(m_connection, xcb_randr_get_monitors(m_connection, m_root, 1), nullptr));
    if (!monitors || int(monitors->nMonitors) != m_monitors)
        qFatal("xrandr left other monitors");
}

void TestDesktop::startWindowManager()
{
    QString program = u"openbox"_s;
    QStringList arguments{u"--config-file"_s, QStringLiteral(PANEMAKER_DESKTOP_CONFIG "/openbox-rc.xml")};
    // The others read theirs from home: "WM-NAME" goes to ~/.WM/NAME, and WM is the program. Fluxbox writes the
    // rest of its configuration next to the keys at its first start.
    QStringList configs;
    if (m_session == Session::fluxbox)
        configs = {u"fluxbox-init"_s, u"fluxbox-keys"_s, u"fluxbox-overlay"_s};
    else if (m_session == Session::icewm)
        configs = {u"icewm-preferences"_s};
    for (const QString &config : configs) {
        program = config.section(u'-', 0, 0);
        arguments.clear();
        const QString target = m_home.filePath(u"."_s + program + u"/"_s + config.section(u'-', 1));
        QDir().mkpath(QFileInfo(target).path());
        if (!QFile::copy(QStringLiteral(PANEMAKER_DESKTOP_CONFIG "/") + config, target))
            qFatal("cannot copy %s to %s", qPrintable(config), qPrintable(target));
    }
    QProcess *windowManager = startProcess(program, arguments);
    const QDeadlineTimer deadline(startTimeoutMs);
    if (!manageProbe(deadline) || windowManager->state() != QProcess::Running)
        qFatal("%s did not start managing: %s", qPrintable(program), qPrintable(outputOf(*windowManager)));
    m_syncConnection = openConnection();
    m_syncWindow = xcb_generate_id(m_syncConnection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_syncConnection, XCB_COPY_FROM_PARENT, m_syncWindow, m_root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    if (m_session == Session::fluxbox && !manageOutOfSight(deadline))
        qFatal("fluxbox did not manage the sync window");
    if (!syncWindowManager())
        qFatal("%s does not answer frame extent requests", qPrintable(program));
    if (m_session == Session::openbox)
        return;
    const bool tint2 = m_session == Session::openboxWithTint2;
    if (tint2)
        startProcess(u"tint2"_s, {u"-c"_s, QStringLiteral(PANEMAKER_DESKTOP_CONFIG "/tint2rc")});
    // A panel has its place once the window manager's work area leaves it out (every session's panels sit at the
    // bottom); tint2's, one a monitor, are managed docks.
    const auto placed = [&] {
        xcb_ewmh_get_workarea_reply_t area;
        if (!xcb_ewmh_get_workarea_reply(&m_ewmh, xcb_ewmh_get_workarea(&m_ewmh, 0), &area, nullptr))
            return false;
        const bool shrunk = area.workarea_len > 0 && area.workarea[0].height < 1080;
        xcb_ewmh_get_workarea_reply_wipe(&area);
        return shrunk && (!tint2 || clientList().size() == m_monitors);
    };
    if (!waitUntil(placed, startTimeoutMs) || windowManager->state() != QProcess::Running || !syncWindowManager())
        qFatal("the panel took no place");
}

bool TestDesktop::startCompositor()
{
    startProcess(u"picom"_s, {u"--backend"_s, u"xrender"_s, u"--config"_s, u"/dev/null"_s});
    return waitForSelectionOwner(atom("_NET_WM_CM_S0"));
}

bool TestDesktop::syncWindowManager()
{
    // The window manager answers a request about the sync window by setting one of its properties; the request
    // reaches it after every event the server generated before, and it handles its events in order. Most answer
    // _NET_REQUEST_FRAME_EXTENTS; Fluxbox answers it for no window, but moves its out-of-sight sync window
    // between its last two workspaces when asked.
    while (xcb_generic_event_t *stale = xcb_poll_for_event(m_syncConnection))
        std::free(stale);
    xcb_atom_t request = m_ewmh._NET_REQUEST_FRAME_EXTENTS, answer = m_ewmh._NET_FRAME_EXTENTS;
    if (m_session == Session::fluxbox) {
        request = answer = m_ewmh._NET_WM_DESKTOP;
        m_syncDesktop = m_syncDesktop == m_lastDesktop ? m_lastDesktop - 1 : m_lastDesktop;
    }
    const uint32_t data[] = {m_syncDesktop, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER};
    xcb_ewmh_send_client_message(m_syncConnection, m_syncWindow, m_root, request, 2, data);
    xcb_flush(m_syncConnection);
    return awaitEvent(m_syncConnection, QDeadlineTimer(2000), [&](const xcb_generic_event_t *event) {
        const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        return (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && change->atom == answer
               && change->state == XCB_PROPERTY_NEW_VALUE;
    });
}

bool TestDesktop::awaitEvent(xcb_connection_t *connection, const QDeadlineTimer &deadline,
                             const std::function<bool(const xcb_generic_event_t *)> &matches)
{
    while (true) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const bool matched = matches(event);
            std::free(event);
            if (matched)
                return true;
        }
        if (deadline.hasExpired() || xcb_connection_has_error(connection))
            return false;
        pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&readable, 1, int(deadline.remainingTime()));
    }
}

bool TestDesktop::manageProbe(const QDeadlineTimer &deadline)
{
    // Only a window the window manager really manages proves it ready: Openbox announces itself before it
    // finishes starting and drops map requests that arrive in between, so the probe is mapped again until then.
    const xcb_window_t probe = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, probe, m_root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    bool managed = false;
    while (!managed && !deadline.hasExpired()) {
        xcb_map_window(m_connection, probe);
        sync();
        managed = waitUntil([&] { return isManaged(probe); }, 100);
    }
    xcb_destroy_window(m_connection, probe);
    sync();
    return managed && waitUntil([&] { return !clientList().contains(probe); }, int(deadline.remainingTime()));
}

bool TestDesktop::manageOutOfSight(const QDeadlineTimer &deadline)
{
    // The sync window is managed on the last workspace, where no test looks.
    uint32_t count = 0;
    if (!xcb_ewmh_get_number_of_desktops_reply(&m_ewmh, xcb_ewmh_get_number_of_desktops(&m_ewmh, 0), &count, nullptr)
        || count < 2)
        return false;
    m_lastDesktop = m_syncDesktop = count - 1;
    xcb_change_property(m_syncConnection, XCB_PROP_MODE_REPLACE, m_syncWindow, m_ewmh._NET_WM_DESKTOP,
                        XCB_ATOM_CARDINAL, 32, 1, &m_lastDesktop);
    xcb_map_window(m_syncConnection, m_syncWindow);
    xcb_flush(m_syncConnection);
    return waitUntil([&] { return isManaged(m_syncWindow); }, int(deadline.remainingTime()));
}

xcb_atom_t TestDesktop::atom(const char *name)
{
    const auto reply = owned(
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::optional<QMargins> TestDesktop::frameExtents(xcb_window_t client)
{
    xcb_ewmh_get_extents_reply_t e;
    if (!xcb_ewmh_get_frame_extents_reply(&m_ewmh, xcb_ewmh_get_frame_extents(&m_ewmh, client), &e, nullptr))
        return std::nullopt;
    return QMargins(int(e.left), int(e.top), int(e.right), int(e.bottom));
}

std::optional<QRect> TestDesktop::outerFrame(xcb_window_t client)
{
    const auto geometry = owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, client), nullptr));
    const auto origin = owned(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, client, m_root, 0, 0), nullptr));
    const std::optional<QMargins> extents = frameExtents(client);
    if (!geometry || !origin || !extents)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height).marginsAdded(*extents);
}

QList<xcb_window_t> TestDesktop::clientList()
{
    xcb_ewmh_get_windows_reply_t list;
    if (!xcb_ewmh_get_client_list_reply(&m_ewmh, xcb_ewmh_get_client_list(&m_ewmh, 0), &list, nullptr))
        return {};
    const QList<xcb_window_t> windows(list.windows, list.windows + list.windows_len);
    xcb_ewmh_get_windows_reply_wipe(&list);
    return windows;
}

bool TestDesktop::isManaged(xcb_window_t client)
{
    return frameExtents(client) && clientList().contains(client);
}

bool TestDesktop::isViewable(xcb_window_t window)
{
    const auto attributes =
        owned(xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool TestDesktop::isShaded(xcb_window_t client)
{
    xcb_ewmh_get_atoms_reply_t states;
    if (!xcb_ewmh_get_wm_state_reply(&m_ewmh, xcb_ewmh_get_wm_state(&m_ewmh, client), &states, nullptr))
        return false;
    const bool shaded = std::find(states.atoms, states.atoms + states.atoms_len, m_ewmh._NET_WM_STATE_SHADED)
                        != states.atoms + states.atoms_len;
    xcb_ewmh_get_atoms_reply_wipe(&states);
    return shaded;
}

bool TestDesktop::shade(xcb_window_t client)
{
    xcb_ewmh_request_change_wm_state(&m_ewmh, 0, client, XCB_EWMH_WM_STATE_ADD, m_ewmh._NET_WM_STATE_SHADED, 0,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    xcb_flush(m_connection);
    return waitUntil([&] { return isShaded(client); });
}

QByteArray TestDesktop::windowName(xcb_connection_t *connection, xcb_window_t window)
{
    const auto name = owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 256), nullptr));
    return name ? QByteArray(static_cast<const char *>(xcb_get_property_value(name.get())),
                             xcb_get_property_value_length(name.get()))
                : QByteArray();
}

std::optional<xcb_window_t> TestDesktop::managedWindow(const QString &title)
{
    for (xcb_window_t client : clientList()) {
        if (windowName(m_connection, client) == title.toUtf8() && isViewable(client))
            return client;
    }
    return std::nullopt;
}

std::optional<QRect> TestDesktop::shownWindow(const QString &title)
{
    if (const std::optional<xcb_window_t> client = managedWindow(title))
        return outerFrame(*client);
    const auto tree = owned(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t window = xcb_query_tree_children(tree.get())[i];
        if (windowName(m_connection, window) != title.toUtf8() || !isViewable(window))
            continue;
        const auto geometry =
            owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
        if (geometry)
            return QRect(geometry->x, geometry->y, geometry->width, geometry->height);
    }
    return std::nullopt;
}

std::optional<xcb_window_t> TestDesktop::activeWindow()
{
    xcb_window_t active = XCB_WINDOW_NONE;
    xcb_ewmh_get_active_window_reply(&m_ewmh, xcb_ewmh_get_active_window(&m_ewmh, 0), &active, nullptr);
    return active == XCB_WINDOW_NONE ? std::nullopt : std::optional(active);
}

void TestDesktop::activate(xcb_window_t window)
{
    // As a pager asks, which the window manager does not second-guess.
    xcb_ewmh_request_change_active_window(&m_ewmh, 0, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                          XCB_WINDOW_NONE);
    sync();
}

std::optional<xcb_keycode_t> TestDesktop::keycode(xcb_keysym_t keysym)
{
    const auto codes = owned(xcb_key_symbols_get_keycode(m_keySymbols, keysym));
    return codes && *codes != XCB_NO_SYMBOL ? std::optional(*codes) : std::nullopt;
}

bool TestDesktop::pressKey(xcb_keysym_t key, const QList<xcb_keysym_t> &modifiers)
{
    QList<xcb_keycode_t> codes;
    for (xcb_keysym_t keysym : modifiers + QList<xcb_keysym_t>{key}) {
        const std::optional<xcb_keycode_t> code = keycode(keysym);
        if (!code)
            return false;
        codes.append(*code);
    }
    for (xcb_keycode_t code : codes)
        fakeInput(XCB_KEY_PRESS, code, false);
    for (auto code = codes.crbegin(); code != codes.crend(); ++code)
        fakeInput(XCB_KEY_RELEASE, *code, code + 1 == codes.crend());
    return true;
}

bool TestDesktop::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        // A test that is the program under test starts its desktop before its application exists.
        if (!QCoreApplication::instance()) {
            QThread::msleep(10);
            continue;
        }
        // An event loop that really waits: qWait() sleeps between its rounds of events, and
        // whoever drains what arrived while a reply was awaited does so when the loop blocks.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void TestDesktop::fakeInput(uint8_t type, uint8_t detail, bool settle, int x, int y)
{
    xcb_test_fake_input(m_connection, type, detail, XCB_CURRENT_TIME, m_root, int16_t(x), int16_t(y), 0);
    if (settle) {
        sync();
        syncWindowManager();
    }
}

void TestDesktop::sync()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace panemaker
