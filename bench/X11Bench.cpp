// x11-bench: what reading the window stack and window attributes costs with 200 windows
// of another process on a private X server.
#include "desktop/TestDesktop.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/X11Windows.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace panemaker;
using namespace panemaker::x11;

namespace {

constexpr int windowCount = 200;
constexpr int rounds = 30;

// Median and 95th percentile of a measurement, in milliseconds.
void report(const char *what, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-52s median %8.3f ms   p95 %8.3f ms\n", what, times[times.size() / 2],
                times[std::size_t(double(times.size()) * 0.95)]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestDesktop desktop;
    desktop.start();
    TestClient *client = desktop.startClient();
    for (int i = 0; i < windowCount; ++i) {
        const QString options =
            QStringLiteral("x=%1 y=%2 w=300 h=200 title=window-%3").arg(i * 7 % 3000).arg(i * 3 % 800).arg(i);
        client->request(QStringLiteral("open w%1 %2").arg(i).arg(options));
    }
    if (!desktop.waitUntil([&] { return desktop.clientList().size() >= windowCount; }, 60000)) {
        std::fprintf(stderr, "x11-bench: the window manager did not take all windows\n");
        return 1;
    }
    QString error;
    const auto x = XConnection::open(desktop.displayName().toLocal8Bit(), &error);
    if (!x) {
        std::fprintf(stderr, "x11-bench: %s\n", qPrintable(error));
        return 1;
    }
    X11Displays displays(*x);
    X11Windows windows(*x, displays);
    const QList<ServerWindow> stack = windows.serverWindows();
    std::printf("%lld windows on the stack\n", qlonglong(stack.size()));

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
    return 0;
}
