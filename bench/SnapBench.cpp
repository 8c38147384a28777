// snap-bench: how long a user waits for a window to snap. The same window is moved to the halves of the left
// monitor by Panemaker's hot keys, by one wmctrl process per move, and by the bare request wmctrl sends, sent
// from here (the floor no tool can beat); each move is timed until another client sees the final frame. Panemaker
// runs without the gap picker, or with it (--fill): then each of its snaps opens the picker, which is closed with
// Escape after the move's time is taken.
//
//   snap-bench [--program PATH] [--moves N] [--fill] [SESSION ...]     (sessions: openbox fluxbox by default)
#include "Bench.h"
#include "support/ProcessFigures.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace panemaker;

namespace {

constexpr int timeoutMs = 3000;
constexpr int pauseMs = 30;
const int windowCounts[] = {40, 200};

QString text(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

template <typename Reply> std::unique_ptr<Reply, void (*)(void *)> owned(Reply *reply)
{
    return {reply, std::free};
}

// The bench's own connection: it sends the moves and watches the window, apart from the desktop's.
struct Watch {
    xcb_connection_t *c;
    xcb_window_t root, window;
    xcb_atom_t frameExtents, moveResize;
};

// The visible frame, as TestDesktop::outerFrame reads it, but in one round trip.
std::optional<QRect> outerFrame(const Watch &w)
{
    const auto geometryCookie = xcb_get_geometry(w.c, w.window);
    const auto originCookie = xcb_translate_coordinates(w.c, w.window, w.root, 0, 0);
    const auto extentsCookie = xcb_get_property(w.c, 0, w.window, w.frameExtents, XCB_ATOM_CARDINAL, 0, 4);
    const auto geometry = owned(xcb_get_geometry_reply(w.c, geometryCookie, nullptr));
    const auto origin = owned(xcb_translate_coordinates_reply(w.c, originCookie, nullptr));
    const auto extents = owned(xcb_get_property_reply(w.c, extentsCookie, nullptr));
    if (!geometry || !origin || !extents || xcb_get_property_value_length(extents.get()) != 16)
        return std::nullopt;
    const auto *e = static_cast<const uint32_t *>(xcb_get_property_value(extents.get()));
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height)
        .marginsAdded(QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3])));
}

// Blocking on the connection rather than asking the server leaves both cores to the X server and the window manager.
bool nextConfigure(xcb_connection_t *c, const QDeadlineTimer &deadline)
{
    return TestDesktop::awaitEvent(c, deadline, [](const xcb_generic_event_t *event) {
        return (event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY;
    });
}

// A user's moment between two snaps. Qt's events let QProcess empty Panemaker's log pipe, which would otherwise
// fill up and block it.
void pause(const Watch &w)
{
    const QDeadlineTimer deadline(pauseMs, Qt::PreciseTimer);
    while (nextConfigure(w.c, deadline)) {
    }
    QCoreApplication::processEvents();
}

struct Timing {
    double median, p95;
};

Timing timing(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, std::size_t(double(ms.size()) * 0.95))]};
}

// One way of moving the window: `start` begins a move to a half, `done` runs after it, outside the time.
struct Method {
    const char *name;
    std::function<void(int half)> start;
    std::function<void()> done;
    std::vector<double> ms;
};

// Times each move from its start until the window's frame is the half it goes to. The methods take turns, so that
// whatever else the machine does weighs on all of them alike, and the halves alternate, so that every move changes
// the frame.
void timeMoves(const Watch &w, int rounds, const QRect (&halves)[2], std::vector<Method> &methods)
{
    int half = outerFrame(w) == halves[0] ? 1 : 0;
    for (int i = 0; i < rounds; ++i) {
        for (Method &method : methods) {
            pause(w);
            QElapsedTimer timer;
            timer.start();
            method.start(half);
            const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
            bool arrived = false;
            while (!arrived && nextConfigure(w.c, deadline))
                arrived = outerFrame(w) == halves[half];
            if (!arrived)
                fail(QStringLiteral("%1: the window stayed at %2 instead of %3")
                         .arg(QLatin1String(method.name), text(outerFrame(w).value_or(QRect())), text(halves[half])));
            method.ms.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (method.done)
                method.done();
            half = 1 - half;
        }
    }
}

// The request behind wmctrl -e, sent from this connection: NorthWest gravity, x, y, width and height given, from a
// pager or other tool.
void requestMove(const Watch &w, const QRect &target)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = w.window;
    message.type = w.moveResize;
    const uint32_t data[] = {XCB_GRAVITY_NORTH_WEST | 0xf00 | 2 << 12, uint32_t(target.x()), uint32_t(target.y()),
                             uint32_t(target.width()), uint32_t(target.height())};
    std::copy(std::begin(data), std::end(data), message.data.data32);
    xcb_send_event(w.c, 0, w.root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(w.c);
}

QProcess *startPanemaker(TestDesktop &desktop, const QString &program, bool fill)
{
    const QString folder =
        desktop.environment().value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/panemaker");
    QFile settings(folder + QStringLiteral("/panemaker.conf"));
    if (!QDir().mkpath(folder) || !settings.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write ") + settings.fileName());
    settings.write(fill ? "[General]\naskToFillGap=true\n" : "[General]\naskToFillGap=false\n");
    settings.close();
    QProcess *panemaker = desktop.startProcess(program, {});
    const bool registered = desktop.waitUntil(
        [&] {
            panemaker->waitForReadyRead(10);
            return panemaker->readAllStandardError().contains("Registered 18 shortcuts");
        },
        10000);
    if (!registered)
        fail(QStringLiteral("%1 did not register its shortcuts").arg(program));
    return panemaker;
}

// Prints a row of the table for each window count; returns what Panemaker's memory did.
QString runSession(const QString &name, const QString &program, int moves, bool fill)
{
    TestDesktop desktop(*TestDesktop::sessionNamed(name));
    TestClient *others = desktop.startWithClient();
    TestClient *client = desktop.startClient();
    const xcb_window_t window =
        client->open(QStringLiteral("bench"), {QStringLiteral("x=300"), QStringLiteral("y=200"),
                                               QStringLiteral("w=500"), QStringLiteral("h=400")});
    QProcess *panemaker = startPanemaker(desktop, program, fill);
    const qint64 pid = panemaker->processId();

    Watch w{xcb_connect(desktop.displayName().toLocal8Bit().constData(), nullptr), desktop.root(), window,
            desktop.atom("_NET_FRAME_EXTENTS"), desktop.atom("_NET_MOVERESIZE_WINDOW")};
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> connection(w.c, xcb_disconnect);
    if (xcb_connection_has_error(w.c))
        fail(QStringLiteral("cannot connect to ") + desktop.displayName());
    // The frame window is the root's child: its ConfigureNotify comes through the root.
    const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY, substructure = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(w.c, w.window, XCB_CW_EVENT_MASK, &structure);
    xcb_change_window_attributes(w.c, w.root, XCB_CW_EVENT_MASK, &substructure);
    const QMargins extents = desktop.frameExtents(w.window).value_or(QMargins());

    const xcb_keycode_t control = *desktop.keycode(0xffe3), alt = *desktop.keycode(0xffe9);
    const xcb_keycode_t arrows[2] = {*desktop.keycode(0xff51), *desktop.keycode(0xff53)}; // Left, Right
    const auto press = [&](int half) {
        for (xcb_keycode_t k : {control, alt, arrows[half]})
            xcb_test_fake_input(w.c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (xcb_keycode_t k : {arrows[half], alt, control})
            xcb_test_fake_input(w.c, XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(w.c);
    };
    // Each snap opens the picker once the window list is ready; it grabs the keyboard right after it shows, so an
    // Escape that came first went to the window and is pressed again.
    QByteArray log;
    const auto logged = [&](const char *line) {
        log += panemaker->readAllStandardError();
        return log.count(line);
    };
    const xcb_keycode_t escape = *desktop.keycode(0xff1b);
    int pickers = 0, extraEscapes = 0;
    const auto closePicker = [&] {
        ++pickers;
        if (!desktop.waitUntil([&] { return logged("Gap picker: ") >= pickers; }, timeoutMs))
            fail(QStringLiteral("the snap opened no gap picker"));
        for (int tries = 0; logged("Gap picker closed: dismissed with esc") < pickers; ++tries) {
            if (tries == 10)
                fail(QStringLiteral("the gap picker did not close with Escape"));
            extraEscapes += tries > 0;
            xcb_test_fake_input(w.c, XCB_KEY_PRESS, escape, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
            xcb_test_fake_input(w.c, XCB_KEY_RELEASE, escape, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
            xcb_flush(w.c);
            desktop.waitUntil([&] { return logged("Gap picker closed: dismissed with esc") >= pickers; }, 300);
        }
    };
    const auto activate = [&] {
        desktop.activate(w.window);
        if (!desktop.waitUntil([&] { return desktop.activeWindow() == w.window; }))
            fail(QStringLiteral("the measured window did not become active"));
    };

    // Where Panemaker puts the halves (the work area decides their height), learnt once the window stays put.
    activate();
    QRect halves[2];
    for (int half : {0, 1}) {
        press(half);
        while (nextConfigure(w.c, QDeadlineTimer(300))) {
        }
        halves[half] = outerFrame(w).value_or(QRect());
        if (fill)
            closePicker();
    }
    // After its first snaps, which load what it keeps for good (desktop entries, for one).
    const qint64 memoryBefore = residentKb(pid);
    if (halves[0].topLeft() != QPoint(0, 0) || halves[1].topLeft() != QPoint(720, 0) || halves[0].width() != 720
        || halves[1].size() != halves[0].size() || halves[0].height() > 900)
        fail(QStringLiteral("the hot keys snapped to %1 and %2, not the halves of the left monitor")
                 .arg(text(halves[0]), text(halves[1])));

    // What wmctrl and the floor ask for: the frame's corner (gravity NorthWest) and the client's size.
    const auto target = [&](int half) {
        return QRect(halves[half].topLeft(), halves[half].marginsRemoved(extents).size());
    };
    QProcess wmctrl;
    wmctrl.setProcessEnvironment(desktop.environment());
    const auto runWmctrl = [&](int half) {
        const QRect t = target(half);
        const QString geometry = QStringLiteral("0,%1,%2,%3,%4").arg(t.x()).arg(t.y()).arg(t.width()).arg(t.height());
        wmctrl.start(QStringLiteral("wmctrl"),
                     {QStringLiteral("-i"), QStringLiteral("-r"), QStringLiteral("0x%1").arg(w.window, 0, 16),
                      QStringLiteral("-e"), geometry});
    };
    const auto wmctrlDone = [&] {
        if (!wmctrl.waitForFinished(timeoutMs) || wmctrl.exitStatus() != QProcess::NormalExit || wmctrl.exitCode())
            fail(QStringLiteral("wmctrl failed: ") + QString::fromLocal8Bit(wmctrl.readAllStandardError()));
    };
    const auto request = [&](int half) { requestMove(w, target(half)); };

    int opened = 0;
    for (int count : windowCounts) {
        // Other windows, of another process: all asked for at once, then the window manager is waited for.
        const qsizetype expected = desktop.clientList().size() + count - opened;
        for (; opened < count; ++opened)
            others->request(QStringLiteral("open w%1 x=%2 y=%3 w=300 h=200 title=window-%1")
                                .arg(opened)
                                .arg(opened * 37 % 3000)
                                .arg(opened * 13 % 800));
        if (!desktop.waitUntil([&] { return desktop.clientList().size() >= expected; }, 60000))
            fail(QStringLiteral("the window manager did not take all %1 windows").arg(count));
        // They took the focus as they came.
        activate();
        std::vector<Method> methods{{"Panemaker", press, fill ? std::function<void()>(closePicker) : nullptr, {}},
                                    {"wmctrl", runWmctrl, wmctrlDone, {}},
                                    {"_NET_MOVERESIZE_WINDOW", request, {}, {}}};
        timeMoves(w, moves, halves, methods);
        const Timing hotKeys = timing(methods[0].ms), wmctrlRuns = timing(methods[1].ms),
                     requests = timing(methods[2].ms);
        std::printf("%-10s %7d  %6.2f (%6.2f)   %6.2f (%6.2f)   %6.2f (%6.2f)   %6.2f\n", qPrintable(name), count,
                    hotKeys.median, hotKeys.p95, wmctrlRuns.median, wmctrlRuns.p95, requests.median, requests.p95,
                    hotKeys.median - requests.median);
        std::fflush(stdout);
    }
    pause(w);
    return QStringLiteral("%1: Panemaker resident %2 kB after its first two snaps, %3 kB after the last%4")
        .arg(name)
        .arg(memoryBefore)
        .arg(residentKb(pid))
        .arg(fill ? QStringLiteral("; %1 gap pickers closed, %2 Escapes pressed again").arg(pickers).arg(extraEscapes)
                  : QString());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString program = QStringLiteral(PANEMAKER_PROGRAM);
    int moves = 200;
    bool fill = false;
    QStringList sessions;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const bool valued = i + 1 < arguments.size();
        if (arguments[i] == QLatin1String("--program") && valued)
            program = arguments[++i];
        else if (arguments[i] == QLatin1String("--moves") && valued)
            moves = arguments[++i].toInt();
        else if (arguments[i] == QLatin1String("--fill"))
            fill = true;
        else if (TestDesktop::sessionNamed(arguments[i]))
            sessions << arguments[i];
        else
            fail(QStringLiteral("usage: snap-bench [--program PATH] [--moves N] [--fill] [SESSION ...]"));
    }
    if (moves < 1)
        fail(QStringLiteral("--moves needs a positive number"));
    if (sessions.isEmpty())
        sessions = {QStringLiteral("openbox"), QStringLiteral("fluxbox")};
    qputenv("PANEMAKER_LOG_STDERR", "1");

    std::printf("Median (p95) in ms of %d moves each, from the start of a move until another client sees the "
                "final frame; Panemaker %s the gap picker.\n\n%-10s %7s  %-17s %-17s %-17s %s\n",
                moves, fill ? "with" : "without", "session", "windows", "Panemaker", "wmctrl per move", "floor",
                fill ? "Panemaker - floor [target <= 1 ms]" : "Panemaker - floor");
    QStringList memory;
    for (const QString &name : sessions)
        memory << runSession(name, program, moves, fill);
    std::printf("\n%s\n", qPrintable(memory.join(u'\n')));
    return 0;
}
