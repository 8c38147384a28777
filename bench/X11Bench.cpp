// x11-bench: what reading the window stack and window attributes costs with 200 windows
// of 50 other processes on a private X server, what listing them for the gap picker costs beside
// one wmctrl -lpG, and how long the picker's thumbnails of 30 of them take.
#include "desktop/TestDesktop.h"
#include "gaps/WindowList.h"
#include "platform/x11/X11Applications.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11StageManager.h"
#include "platform/x11/X11Thumbnails.h"
#include "platform/x11/X11Windows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace panemaker;
using namespace panemaker::x11;

namespace {

constexpr int applicationCount = 50;
constexpr int windowsPerApplication = 4;
constexpr int windowCount = applicationCount * windowsPerApplication;
constexpr int rounds = 30;
// As many as the picker captures, at the size it asks for.
constexpr int thumbnailCount = 30;
constexpr QSize thumbnailPixels{344, 212};

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "x11-bench: %s\n", qPrintable(why));
    std::exit(1);
}

// Median and 95th percentile of a measurement, in milliseconds, and the target it should meet, if any.
void report(const char *what, const std::function<void()> &work, const char *target = "")
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-56s median %8.3f ms   p95 %8.3f ms   %s\n", what, times[times.size() / 2],
                times[std::size_t(double(times.size()) * 0.95)], target);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestDesktop desktop;
    desktop.start();
    for (int a = 0; a < applicationCount; ++a) {
        TestClient *client = desktop.startClient();
        for (int w = 0; w < windowsPerApplication; ++w) {
            const int i = a * windowsPerApplication + w;
            const QString options =
                QStringLiteral("x=%1 y=%2 w=300 h=200 title=window-%3").arg(i * 7 % 3000).arg(i * 3 % 800).arg(i);
            client->request(QStringLiteral("open w%1 %2").arg(i).arg(options));
        }
    }
    if (!desktop.waitUntil([&] { return desktop.clientList().size() >= windowCount; }, 60000))
        fail(QStringLiteral("the window manager did not take all windows"));
    QString error;
    const auto x = XConnection::open(desktop.displayName().toLocal8Bit(), &error);
    if (!x)
        fail(error);
    x->deliverEvents();
    X11Displays displays(*x);
    X11Windows windows(*x, displays);
    X11Applications applications(*x, windows);
    X11StageManager stageManager;
    const QList<ServerWindow> stack = windows.serverWindows();
    std::printf("%lld windows of %d applications on the stack\n", qlonglong(stack.size()), applicationCount);

    report("serverWindows()", [&] { windows.serverWindows(); });
    report("frame() of every window, one by one", [&] {
        for (const ServerWindow &w : stack)
            windows.frame(AXWindow{w.id, w.pid});
    });
    report("snapshot() of every window, one by one", [&] {
        for (const ServerWindow &w : stack)
            windows.snapshot(AXWindow{w.id, w.pid});
    });
    report("details() of every window at once", [&] {
        QList<AXWindow> all;
        for (const ServerWindow &w : stack)
            all.append(AXWindow{w.id, w.pid});
        windows.details(all);
    });
    report("screens() (monitors and work areas, read afresh)", [&] { X11Displays(*x).screens(); });
    report("screens() (as a snap finds them when no panel changed)", [&] { displays.screens(); });

    // The picker's list leaves out the snapped window; the first listing also waits for the desktop entries,
    // which Panemaker reads once at launch.
    const QList<AXWindow> snapped{AXWindow{stack.first().id, stack.first().pid}};
    const WindowList::Sources sources{windows, applications, stageManager};
    const qsizetype listed = WindowList::list(sources, snapped).size();
    if (listed < windowCount - 1)
        fail(QStringLiteral("the window list has %1 candidates, not %2").arg(listed).arg(windowCount - 1));
    report(
        "WindowList::list() (the gap picker's candidates)", [&] { WindowList::list(sources, snapped); },
        "[target <= 5 ms]");
    // Every request takes the next sequence number of the connection: the difference counts the list's requests.
    const auto sequence = [&] {
        const xcb_get_input_focus_cookie_t cookie = xcb_get_input_focus(x->xcb());
        std::free(xcb_get_input_focus_reply(x->xcb(), cookie, nullptr));
        return cookie.sequence;
    };
    const unsigned before = sequence();
    WindowList::list(sources, snapped);
    std::printf("%-56s %u X requests\n", "WindowList::list() asks", sequence() - before - 1);
    QProcess wmctrl;
    wmctrl.setProcessEnvironment(desktop.environment());
    report("wmctrl -lpG, run as a process, for comparison", [&] {
        wmctrl.start(QStringLiteral("wmctrl"), {QStringLiteral("-lpG")});
        if (!wmctrl.waitForFinished(5000) || wmctrl.exitCode() != 0
            || wmctrl.readAllStandardOutput().count('\n') < windowCount)
            fail(QStringLiteral("wmctrl -lpG failed"));
    });

    // The picker captures the front-most windows after the snapped one; all of them are on screen.
    QList<std::uint32_t> front;
    for (qsizetype i = 1; front.size() < thumbnailCount; ++i)
        front.append(stack[i].id);
    X11Thumbnails thumbnails(*x);
    report("captureWindow() of one window, blocking",
           [&] { thumbnails.captureWindow(front.first(), thumbnailPixels); });
    report(
        "capture() of 30 windows until the last image arrived",
        [&] {
            int arrived = 0;
            QEventLoop loop;
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            const auto run = thumbnails.capture(front, thumbnailPixels, [&](std::uint32_t, const QImage &image) {
                if (!image.isNull() && ++arrived == thumbnailCount)
                    loop.quit();
            });
            if (arrived < thumbnailCount)
                loop.exec();
            if (arrived < thumbnailCount)
                fail(QStringLiteral("only %1 of %2 thumbnails arrived").arg(arrived).arg(thumbnailCount));
        },
        "[target <= 150 ms]");
    return 0;
}
