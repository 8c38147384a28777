// snap-bench: from a hot key press to the window's final frame, with Panemaker running on a
// private X server, against starting xdotool for each move, in the same run.
#include "desktop/TestDesktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace panemaker;

namespace {

constexpr int snaps = 200;
constexpr qint64 timeoutNs = 3'000'000'000;

void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %7.2f ms   p95 %7.2f ms   (%zu moves)\n", what, times[times.size() / 2],
                times[std::size_t(double(times.size()) * 0.95)], times.size());
}

void fail(const QString &why)
{
    std::fprintf(stderr, "snap-bench: %s\n", qPrintable(why));
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qputenv("PANEMAKER_LOG_STDERR", "1");
    TestDesktop desktop;
    QString error;
    if (!desktop.start(&error))
        fail(error);
    TestClient *client = desktop.startClient(&error);
    if (!client)
        fail(error);
    const std::optional<xcb_window_t> window =
        client->open(QStringLiteral("bench"), {QStringLiteral("x=300"), QStringLiteral("y=200"),
                                               QStringLiteral("w=500"), QStringLiteral("h=400")});
    if (!window)
        fail(client->lastError());
    desktop.activate(*window);
    desktop.waitUntil([&] { return desktop.activeWindow() == window; });

    QProcess *panemaker = desktop.startProcess(QStringLiteral(PANEMAKER_PROGRAM), {}, &error);
    if (!panemaker)
        fail(error);
    if (!desktop.waitUntil(
            [&] {
                panemaker->waitForReadyRead(10);
                return panemaker->readAllStandardError().contains("Registered 18 shortcuts");
            },
            10000))
        fail(QStringLiteral("Panemaker did not register its shortcuts"));

    xcb_connection_t *c = desktop.connection();
    const xcb_keycode_t control = *desktop.keycode(0xffe3), alt = *desktop.keycode(0xffe9);
    const xcb_keycode_t left = *desktop.keycode(0xff51), right = *desktop.keycode(0xff53);
    const auto press = [&](xcb_keycode_t key) {
        for (xcb_keycode_t k : {control, alt, key})
            xcb_test_fake_input(c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (xcb_keycode_t k : {key, alt, control})
            xcb_test_fake_input(c, XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    };
    const auto timeUntil = [&](const QRect &frame) {
        QElapsedTimer timer;
        timer.start();
        while (desktop.outerFrame(*window) != frame) {
            if (timer.nsecsElapsed() > timeoutNs) {
                const QRect now = desktop.outerFrame(*window).value_or(QRect());
                fail(QStringLiteral("the window stayed at %1,%2 %3x%4 instead of %5,%6 %7x%8")
                         .arg(now.x())
                         .arg(now.y())
                         .arg(now.width())
                         .arg(now.height())
                         .arg(frame.x())
                         .arg(frame.y())
                         .arg(frame.width())
                         .arg(frame.height()));
            }
        }
        return double(timer.nsecsElapsed()) / 1e6;
    };

    // The halves of the left monitor, alternately.
    const QRect halves[2] = {QRect(0, 0, 720, 900), QRect(720, 0, 720, 900)};
    std::vector<double> hotKey;
    for (int i = 0; i < snaps; ++i) {
        QElapsedTimer timer;
        timer.start();
        press(i % 2 ? right : left);
        timeUntil(halves[i % 2]);
        hotKey.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    // xdotool asks for the client's geometry; where openbox puts the frame for it is read
    // once per target, then every move is timed until the frame is there.
    const QString id = QString::number(*window);
    const QStringList moves[2] = {
        QStringLiteral("windowmove %1 0 0 windowsize %1 718 876").arg(id).split(u' '),
        QStringLiteral("windowmove %1 720 0 windowsize %1 718 876").arg(id).split(u' '),
    };
    const auto runXdotool = [&](const QStringList &arguments) {
        QProcess process;
        process.setProcessEnvironment(desktop.environment());
        process.start(QStringLiteral("xdotool"), arguments);
        process.waitForFinished(5000);
    };
    QRect xdotoolFrames[2];
    for (int i = 0; i < 2; ++i) {
        runXdotool(moves[i]);
        QRect last;
        desktop.waitUntil([&] {
            const QRect now = desktop.outerFrame(*window).value_or(QRect());
            const bool settled = now == last && now.width() == 720;
            last = now;
            return settled;
        });
        xdotoolFrames[i] = last;
    }
    std::vector<double> xdotool;
    for (int i = 0; i < snaps; ++i) {
        QElapsedTimer timer;
        timer.start();
        runXdotool(moves[i % 2]);
        timeUntil(xdotoolFrames[i % 2]);
        xdotool.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    report("hot key press to final frame (Panemaker)", hotKey);
    report("xdotool started per move", xdotool);
    return 0;
}
