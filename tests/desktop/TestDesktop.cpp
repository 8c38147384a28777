// TestDesktop and TestClient: starting, querying and driving the private test desktop.
#include "desktop/TestDesktop.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <xcb/randr.h>
#include <xcb/xtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace panemaker {

namespace {

constexpr int startTimeoutMs = 10000;
constexpr int answerTimeoutMs = 5000;

template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPointer<Reply> owned(Reply *reply)
{
    return ReplyPointer<Reply>(reply, &std::free);
}

// Runs in the forked child: nothing may outlive a test that crashed or was killed. The parent check closes the
// race of a parent dying before the death signal was armed.
void dieWithParent(pid_t parent)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
}

QString outputOf(QProcess &process)
{
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
}

void fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

TestClient::TestClient(TestDesktop &desktop, QProcess &process) : m_desktop(desktop), m_process(process) {}

std::optional<QString> TestClient::request(const QString &line)
{
    m_process.write((line + QLatin1Char('\n')).toUtf8());
    const bool answered = TestDesktop::waitUntil(
        [this] { return m_process.canReadLine() || m_process.state() != QProcess::Running; }, answerTimeoutMs);
    if (!answered || !m_process.canReadLine()) {
        m_lastError = QStringLiteral("no answer to \"%1\"").arg(line);
        return std::nullopt;
    }
    const QString answer = QString::fromUtf8(m_process.readLine()).trimmed();
    if (answer.startsWith(QLatin1String("error ")))
        m_lastError = answer;
    return answer;
}

std::optional<xcb_window_t> TestClient::open(const QString &name, const QStringList &options)
{
    const std::optional<QString> answer =
        request(QStringList{QStringLiteral("open"), name, options.join(u' ')}.join(u' '));
    const QStringList words = answer.value_or(QString()).split(u' ');
    bool ok = false;
    const xcb_window_t window =
        words.size() == 3 && words[0] == QLatin1String("opened") && words[1] == name ? words[2].toUInt(&ok, 16) : 0;
    if (!ok) {
        if (answer)
            m_lastError = *answer;
        return std::nullopt;
    }
    m_windows.insert(name, window);
    if (options.contains(QLatin1String("override=1")))
        return window;
    const bool managed =
        TestDesktop::waitUntil([this, window] { return m_desktop.isManaged(window) && m_desktop.isViewable(window); });
    if (!managed) {
        m_lastError = QStringLiteral("window %1 was not managed").arg(name);
        return std::nullopt;
    }
    return window;
}

std::optional<xcb_window_t> TestClient::openActive(const QString &name, const QStringList &options)
{
    const std::optional<xcb_window_t> window = open(name, options);
    if (!window)
        return std::nullopt;
    m_desktop.activate(*window);
    if (!TestDesktop::waitUntil([&] { return m_desktop.activeWindow() == window; })) {
        m_lastError = QStringLiteral("window %1 did not become active").arg(name);
        return std::nullopt;
    }
    return window;
}

bool TestClient::destroy(const QString &name)
{
    if (request(QStringLiteral("destroy ") + name) != QStringLiteral("destroyed ") + name)
        return false;
    m_windows.remove(name);
    return true;
}

std::optional<xcb_window_t> TestClient::window(const QString &name) const
{
    const auto found = m_windows.constFind(name);
    return found == m_windows.cend() ? std::nullopt : std::optional<xcb_window_t>(*found);
}

qint64 TestClient::pid() const
{
    return m_process.processId();
}

std::optional<TestDesktop::Session> TestDesktop::sessionNamed(const QString &name)
{
    static const QHash<QString, Session> sessions{{QStringLiteral("openbox"), Session::openbox},
                                                  {QStringLiteral("openbox-tint2"), Session::openboxWithTint2},
                                                  {QStringLiteral("fluxbox"), Session::fluxbox},
                                                  {QStringLiteral("icewm"), Session::icewm}};
    const auto found = sessions.constFind(name);
    return found == sessions.cend() ? std::nullopt : std::optional(*found);
}

TestDesktop::TestDesktop(Session session) : m_session(session)
{
    for (const char *directory : {"config", "cache", "data", "state", "runtime"})
        QDir(m_home.path()).mkpath(QString::fromLatin1(directory));
    // As a session's runtime directory is: the user's alone.
    QFile::setPermissions(m_home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TestDesktop::~TestDesktop()
{
    m_clients.clear();
    // The X server goes last so that its clients never see it vanish first.
    for (auto process = m_processes.rbegin(); process != m_processes.rend(); ++process) {
        if (process->get() != m_server && (*process)->state() != QProcess::NotRunning) {
            (*process)->kill();
            (*process)->waitForFinished(startTimeoutMs);
        }
    }
    if (m_keySymbols)
        xcb_key_symbols_free(m_keySymbols);
    if (m_syncConnection)
        xcb_disconnect(m_syncConnection);
    if (m_connection)
        xcb_disconnect(m_connection);
    if (m_server && m_server->state() != QProcess::NotRunning) {
        // SIGTERM lets Xvfb remove its lock file and socket, so that the display number is free again.
        m_server->terminate();
        if (!m_server->waitForFinished(startTimeoutMs)) {
            m_server->kill();
            m_server->waitForFinished(startTimeoutMs);
        }
    }
}

bool TestDesktop::start(QString *error)
{
    if (!m_home.isValid()) {
        fail(error, QStringLiteral("cannot create a temporary directory: ") + m_home.errorString());
        return false;
    }
    return startServer(error) && setUpMonitors(error) && startWindowManager(error);
}

TestClient *TestDesktop::startWithClient(QString *error)
{
    return start(error) ? startClient(error) : nullptr;
}

QProcessEnvironment TestDesktop::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_displayName);
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
    // A desktop without a session bus, never the user's. Without an address libdbus forks to
    // start one, and a fork while another thread allocates hangs the child under the sanitizers.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + m_home.filePath(QStringLiteral("no-session-bus")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    for (auto it = m_overrides.cbegin(); it != m_overrides.cend(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

QProcess *TestDesktop::startProcess(const QString &program, const QStringList &arguments, QString *error)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    process->setChildProcessModifier([parent = getpid()] { dieWithParent(parent); });
    process->start(program, arguments);
    if (!process->waitForStarted(startTimeoutMs)) {
        fail(error, QStringLiteral("cannot start %1: %2").arg(program, process->errorString()));
        return nullptr;
    }
    m_processIds.append(process->processId());
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

bool TestDesktop::screenshot(const QString &name, QString *error)
{
    const QString folder = QStringLiteral(PANEMAKER_SCREENSHOTS);
    QDir().mkpath(folder);
    return run(QStringLiteral("import"),
               {QStringLiteral("-silent"), QStringLiteral("-window"), QStringLiteral("root"),
                folder + QLatin1Char('/') + name + QStringLiteral(".png")},
               error);
}

TestClient *TestDesktop::startClient(QString *error)
{
    QProcess *process = startProcess(QStringLiteral(PANEMAKER_TEST_CLIENT), {}, error);
    if (!process)
        return nullptr;
    m_clients.push_back(std::unique_ptr<TestClient>(new TestClient(*this, *process)));
    return m_clients.back().get();
}

QList<qint64> TestDesktop::processIds() const
{
    return m_processIds;
}

bool TestDesktop::startServer(QString *error)
{
    // Xvfb writes the display number it found free to this pipe once it accepts connections.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        fail(error, QStringLiteral("cannot create a pipe"));
        return false;
    }
    const int readEnd = pipeEnds[0];
    const int writeEnd = pipeEnds[1];
    auto server = std::make_unique<QProcess>();
    server->setProcessEnvironment(environment());
    server->setChildProcessModifier([parent = getpid(), writeEnd] {
        dieWithParent(parent);
        fcntl(writeEnd, F_SETFD, 0);
    });
    // -noreset: without it the server resets when its last client disconnects, which drops the monitors that
    // the short-lived xrandr processes set up.
    server->start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QString::number(writeEnd), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("3360x1080x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-noreset")});
    const bool started = server->waitForStarted(startTimeoutMs);
    close(writeEnd);
    if (!started) {
        close(readEnd);
        fail(error, QStringLiteral("cannot start Xvfb: ") + server->errorString());
        return false;
    }
    m_processIds.append(server->processId());
    m_server = server.get();
    m_processes.push_back(std::move(server));

    QByteArray number;
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!number.endsWith('\n') && !deadline.hasExpired()) {
        pollfd readable{readEnd, POLLIN, 0};
        if (poll(&readable, 1, int(deadline.remainingTime())) <= 0)
            continue;
        char buffer[16];
        const ssize_t count = read(readEnd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        number.append(buffer, count);
    }
    close(readEnd);
    if (!number.endsWith('\n')) {
        fail(error, QStringLiteral("Xvfb did not start: ") + outputOf(*m_server));
        return false;
    }
    m_displayName = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    int screen = 0;
    m_connection = xcb_connect(m_displayName.toLocal8Bit().constData(), &screen);
    if (xcb_connection_has_error(m_connection)) {
        fail(error, QStringLiteral("cannot connect to ") + m_displayName);
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;
    m_keySymbols = xcb_key_symbols_alloc(m_connection);
    return true;
}

bool TestDesktop::run(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setChildProcessModifier([parent = getpid()] { dieWithParent(parent); });
    process.start(program, arguments);
    if (!process.waitForFinished(startTimeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        fail(error, QStringLiteral("%1 %2 failed: %3 %4")
                        .arg(program, arguments.join(u' '), process.errorString(), outputOf(process)));
        return false;
    }
    return true;
}

bool TestDesktop::unplugRightMonitor()
{
    const QString xrandr = QStringLiteral("xrandr");
    if (!run(xrandr, {QStringLiteral("--delmonitor"), QStringLiteral("RIGHT")}))
        return false;
    // Redefining monitors sends no event; switching the output off and on again does, as
    // unplugging a display would. Switching it off reports a failure but takes effect.
    run(xrandr, {QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--off")});
    return run(xrandr, {QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--auto")});
}

bool TestDesktop::plugInRightMonitor(QString *error)
{
    return run(QStringLiteral("xrandr"),
               {QStringLiteral("--setmonitor"), QStringLiteral("RIGHT"), QStringLiteral("1920/508x1080/286+1440+0"),
                QStringLiteral("none")},
               error);
}

bool TestDesktop::setUpMonitors(QString *error)
{
    // Naming the real output ("screen" in Xvfb) in the first monitor removes the automatic whole-screen one.
    if (!run(QStringLiteral("xrandr"),
             {QStringLiteral("--setmonitor"), QStringLiteral("*LEFT"), QStringLiteral("1440/381x900/238+0+0"),
              QStringLiteral("screen")},
             error)
        || !plugInRightMonitor(error))
        return false;
    const auto monitors =
        owned(xcb_randr_get_monitors_reply(m_connection, xcb_randr_get_monitors(m_connection, m_root, 1), nullptr));
    if (!monitors || monitors->nMonitors != 2) {
        fail(error, QStringLiteral("xrandr did not leave two monitors"));
        return false;
    }
    return true;
}

bool TestDesktop::installConfig(const QString &file, const QString &pathInHome, QString *error)
{
    const QString target = m_home.filePath(pathInHome);
    QDir().mkpath(QFileInfo(target).path());
    if (!QFile::copy(QStringLiteral(PANEMAKER_DESKTOP_CONFIG "/") + file, target)) {
        fail(error, QStringLiteral("cannot copy %1 to %2").arg(file, target));
        return false;
    }
    return true;
}

bool TestDesktop::startWindowManager(QString *error)
{
    QString program;
    QStringList arguments;
    switch (m_session) {
    case Session::openbox:
    case Session::openboxWithTint2:
        program = QStringLiteral("openbox");
        arguments = {QStringLiteral("--config-file"), QStringLiteral(PANEMAKER_DESKTOP_CONFIG "/openbox-rc.xml")};
        break;
    case Session::fluxbox:
        // Fluxbox writes the rest of its configuration next to the keys at its first start.
        if (!installConfig(QStringLiteral("fluxbox-keys"), QStringLiteral(".fluxbox/keys"), error)
            || !installConfig(QStringLiteral("fluxbox-overlay"), QStringLiteral(".fluxbox/overlay"), error))
            return false;
        program = QStringLiteral("fluxbox");
        break;
    case Session::icewm:
        if (!installConfig(QStringLiteral("icewm-preferences"), QStringLiteral(".icewm/preferences"), error))
            return false;
        program = QStringLiteral("icewm");
        break;
    }
    QProcess *windowManager = startProcess(program, arguments, error);
    if (!windowManager)
        return false;
    const QDeadlineTimer deadline(startTimeoutMs);
    const bool announced =
        waitUntil([&] { return windowManagerReady() || windowManager->state() != QProcess::Running; }, startTimeoutMs);
    if (!announced || windowManager->state() != QProcess::Running || !manageProbe(deadline)) {
        fail(error, QStringLiteral("%1 did not start managing: %2").arg(program, outputOf(*windowManager)));
        return false;
    }
    m_syncConnection = xcb_connect(m_displayName.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(m_syncConnection)) {
        fail(error, QStringLiteral("cannot connect to ") + m_displayName);
        return false;
    }
    m_syncWindow = xcb_generate_id(m_syncConnection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_syncConnection, XCB_COPY_FROM_PARENT, m_syncWindow, m_root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    if (m_session == Session::fluxbox && !manageOutOfSight(m_syncWindow, deadline)) {
        fail(error, QStringLiteral("fluxbox did not manage the sync window"));
        return false;
    }
    if (!syncWindowManager()) {
        fail(error, program + QStringLiteral(" does not answer frame extent requests"));
        return false;
    }
    return startPanel(windowManager, error);
}

bool TestDesktop::startPanel(QProcess *windowManager, QString *error)
{
    if (m_session == Session::openbox)
        return true;
    int panels = 1;
    if (m_session == Session::openboxWithTint2) {
        if (!startProcess(QStringLiteral("tint2"),
                          {QStringLiteral("-c"), QStringLiteral(PANEMAKER_DESKTOP_CONFIG "/tint2rc")}, error))
            return false;
        panels = 2;
    }
    // A panel has its place once the window manager's work area leaves it out; tint2's are managed docks.
    const auto placed = [&] {
        const auto area = cardinals(m_root, atom("_NET_WORKAREA"), XCB_ATOM_CARDINAL);
        const bool reserved =
            area && area->size() >= 4
            && QRect(int((*area)[0]), int((*area)[1]), int((*area)[2]), int((*area)[3])) != QRect(0, 0, 3360, 1080);
        return reserved && (m_session != Session::openboxWithTint2 || clientList().size() == panels);
    };
    if (!waitUntil(placed, startTimeoutMs) || windowManager->state() != QProcess::Running) {
        fail(error, QStringLiteral("the panel took no place"));
        return false;
    }
    return syncWindowManager();
}

bool TestDesktop::syncWindowManager(int timeoutMs)
{
    // The window manager answers a request about the sync window by setting one of its properties; the request
    // reaches it after every event the server generated before, and it handles its events in order. Most answer
    // _NET_REQUEST_FRAME_EXTENTS; Fluxbox answers it for no window, but moves its out-of-sight sync window
    // between its last two workspaces when asked.
    if (!m_syncConnection)
        return false;
    while (xcb_generic_event_t *stale = xcb_poll_for_event(m_syncConnection))
        std::free(stale);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = m_syncWindow;
    xcb_atom_t answer = XCB_ATOM_NONE;
    if (m_session == Session::fluxbox) {
        answer = atom("_NET_WM_DESKTOP");
        message.type = answer;
        m_syncDesktop = m_syncDesktop == m_lastDesktop ? m_lastDesktop - 1 : m_lastDesktop;
        message.data.data32[0] = m_syncDesktop;
        message.data.data32[1] = 2;
    } else {
        answer = atom("_NET_FRAME_EXTENTS");
        message.type = atom("_NET_REQUEST_FRAME_EXTENTS");
    }
    xcb_send_event(m_syncConnection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(m_syncConnection);

    return awaitEvent(m_syncConnection, QDeadlineTimer(timeoutMs), [&](const xcb_generic_event_t *event) {
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
    // Openbox announces itself before it finishes starting and drops map requests that arrive in between, so
    // the first window of a test could stay unmapped for ever. Only a window the window manager really manages
    // proves it ready; the probe is mapped again until one is.
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
    return managed && waitUntil([&] { return clientList().isEmpty(); }, int(deadline.remainingTime()));
}

bool TestDesktop::manageOutOfSight(xcb_window_t window, const QDeadlineTimer &deadline)
{
    // Managed on the last workspace, where no test looks.
    const auto count = cardinals(m_root, atom("_NET_NUMBER_OF_DESKTOPS"), XCB_ATOM_CARDINAL);
    if (!count || count->empty() || count->front() < 2)
        return false;
    m_lastDesktop = m_syncDesktop = count->front() - 1;
    xcb_change_property(m_syncConnection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32,
                        1, &m_lastDesktop);
    xcb_map_window(m_syncConnection, window);
    xcb_flush(m_syncConnection);
    return waitUntil([&] { return isManaged(window); }, int(deadline.remainingTime()));
}

bool TestDesktop::windowManagerReady()
{
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    const auto named = cardinals(m_root, check, XCB_ATOM_WINDOW);
    if (!named || named->empty())
        return false;
    const auto self = cardinals(named->front(), check, XCB_ATOM_WINDOW);
    if (!self || self->empty() || self->front() != named->front())
        return false;
    const auto supported = cardinals(m_root, atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return supported && !supported->empty();
}

xcb_atom_t TestDesktop::atom(const char *name)
{
    const auto reply = owned(
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::optional<std::vector<uint32_t>> TestDesktop::cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const auto reply = owned(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 4096), nullptr));
    if (!reply || reply->type != type || reply->format != 32)
        return std::nullopt;
    const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

std::optional<QRect> TestDesktop::clientGeometry(xcb_window_t client)
{
    const auto geometry = owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, client), nullptr));
    const auto origin = owned(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, client, m_root, 0, 0), nullptr));
    if (!geometry || !origin)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

std::optional<QMargins> TestDesktop::frameExtents(xcb_window_t client)
{
    const auto extents = cardinals(client, atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (!extents || extents->size() != 4)
        return std::nullopt;
    const std::vector<uint32_t> &e = *extents;
    return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
}

std::optional<QRect> TestDesktop::outerFrame(xcb_window_t client)
{
    const std::optional<QRect> geometry = clientGeometry(client);
    const std::optional<QMargins> extents = frameExtents(client);
    if (!geometry || !extents)
        return std::nullopt;
    return geometry->marginsAdded(*extents);
}

bool TestDesktop::frameBecomes(xcb_window_t client, const QRect &expected, int tolerance, int timeoutMs)
{
    return waitUntil(
        [&] {
            const std::optional<QRect> frame = outerFrame(client);
            return frame && std::abs(frame->x() - expected.x()) <= tolerance
                   && std::abs(frame->y() - expected.y()) <= tolerance
                   && std::abs(frame->width() - expected.width()) <= tolerance
                   && std::abs(frame->height() - expected.height()) <= tolerance;
        },
        timeoutMs);
}

QList<xcb_window_t> TestDesktop::clientList()
{
    const auto windows = cardinals(m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    return windows ? QList<xcb_window_t>(windows->begin(), windows->end()) : QList<xcb_window_t>();
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

std::optional<xcb_window_t> TestDesktop::activeWindow()
{
    const auto active = cardinals(m_root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active || active->empty() || active->front() == XCB_WINDOW_NONE)
        return std::nullopt;
    return active->front();
}

void TestDesktop::activate(xcb_window_t window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // a pager: the window manager does not second-guess it
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    sync();
}

void TestDesktop::movePointer(int x, int y)
{
    xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, int16_t(x), int16_t(y), 0);
    syncInput();
}

void TestDesktop::pressButton(int button)
{
    fakeInput(XCB_BUTTON_PRESS, uint8_t(button));
    syncInput();
}

void TestDesktop::releaseButton(int button)
{
    fakeInput(XCB_BUTTON_RELEASE, uint8_t(button));
    syncInput();
}

std::optional<xcb_keycode_t> TestDesktop::keycode(xcb_keysym_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_keySymbols, keysym);
    const std::optional<xcb_keycode_t> first =
        codes && codes[0] != XCB_NO_SYMBOL ? std::optional<xcb_keycode_t>(codes[0]) : std::nullopt;
    std::free(codes);
    return first;
}

void TestDesktop::pressKeycode(xcb_keycode_t key, const QList<xcb_keycode_t> &modifiers)
{
    for (xcb_keycode_t modifier : modifiers)
        fakeInput(XCB_KEY_PRESS, modifier);
    fakeInput(XCB_KEY_PRESS, key);
    fakeInput(XCB_KEY_RELEASE, key);
    for (auto modifier = modifiers.crbegin(); modifier != modifiers.crend(); ++modifier)
        fakeInput(XCB_KEY_RELEASE, *modifier);
    syncInput();
}

bool TestDesktop::pressKey(xcb_keysym_t key, const QList<xcb_keysym_t> &modifiers)
{
    const std::optional<xcb_keycode_t> keyCode = keycode(key);
    QList<xcb_keycode_t> modifierCodes;
    for (xcb_keysym_t modifier : modifiers) {
        const std::optional<xcb_keycode_t> code = keycode(modifier);
        if (!code)
            return false;
        modifierCodes.append(*code);
    }
    if (!keyCode)
        return false;
    pressKeycode(*keyCode, modifierCodes);
    return true;
}

bool TestDesktop::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        // An event loop that really waits: qWait() sleeps between its rounds of events, and
        // whoever drains what arrived while a reply was awaited does so when the loop blocks.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void TestDesktop::fakeInput(uint8_t type, uint8_t detail)
{
    xcb_test_fake_input(m_connection, type, detail, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

void TestDesktop::syncInput()
{
    sync();
    syncWindowManager();
}

void TestDesktop::sync()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace panemaker
