// drag-bench: what Panemaker's drag snapping costs. Panemaker's CPU time while a window is dragged by its title
// bar for 5 s with the pointer moved 1000 times a second, in and out of the left edge's zone; while a person
// clicks and types for 10 s without dragging; and its wake-ups once no button is held.
//
//   drag-bench [SESSION]     (openbox by default)
#include "Bench.h"
#include "support/ProcessFigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <xcb/xtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

using namespace panemaker;

namespace {

constexpr int dragSeconds = 5;
constexpr int motionsPerSecond = 1000;
constexpr int typingSeconds = 10;
constexpr int idleSeconds = 5;
constexpr xcb_keysym_t letterA = 0x61;

struct Figures {
    double cpuMs;
    qint64 wakeUps;
};

// Panemaker's CPU time and wake-ups while `work` runs.
Figures measure(qint64 pid, const std::function<void()> &work)
{
    const std::optional<qint64> cpuBefore = cpuNs(pid), switchesBefore = contextSwitches(pid);
    work();
    const std::optional<qint64> cpuAfter = cpuNs(pid), switchesAfter = contextSwitches(pid);
    if (!cpuBefore || !cpuAfter || !switchesBefore || !switchesAfter)
        fail(QStringLiteral("cannot read /proc/%1").arg(pid));
    return {double(*cpuAfter - *cpuBefore) / 1e6, *switchesAfter - *switchesBefore};
}

// Counts the windows titled "Panemaker highlight" mapped since the last call: the preview is a new window each
// time it appears, gone soon after.
int previewsShown(xcb_connection_t *c)
{
    int shown = 0;
    TestDesktop::awaitEvent(c, QDeadlineTimer(0), [&](const xcb_generic_event_t *event) {
        if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
            return false;
        const xcb_window_t window = reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
        shown += TestDesktop::windowName(c, window) == "Panemaker highlight";
        return false;
    });
    return shown;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestDesktop desktop(sessionArgument(app.arguments()));
    const QString name = desktop.sessionName();
    TestClient *client = desktop.startWithClient();
    const xcb_window_t window =
        client->openActive(QStringLiteral("dragged"), {QStringLiteral("x=600"), QStringLiteral("y=300"),
                                                       QStringLiteral("w=400"), QStringLiteral("h=300")});
    PanemakerProcess panemaker(desktop);
    startPanemaker(panemaker, {QStringLiteral("askToFillGap=false")});
    QThread::sleep(2); // start-up's own work is not the drag's
    const qint64 pid = panemaker.process()->processId();

    xcb_connection_t *c = xcb_connect(desktop.displayName().toLocal8Bit().constData(), nullptr);
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> connection(c, xcb_disconnect);
    if (xcb_connection_has_error(c))
        fail(QStringLiteral("cannot connect to ") + desktop.displayName());
    const uint32_t substructure = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, desktop.root(), XCB_CW_EVENT_MASK, &substructure);
    const auto input = [&](uint8_t type, uint8_t detail, int x = 0, int y = 0) {
        xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, desktop.root(), int16_t(x), int16_t(y), 0);
        xcb_flush(c);
    };

    // The pointer sweeps once a second from the middle of LEFT to its left edge, stays there a sixth of a second,
    // and comes back: the preview appears once a sweep, and every other motion stays in one zone or none.
    const QRect frame = *desktop.outerFrame(window);
    const QPoint grip(frame.center().x(), frame.y() + desktop.frameExtents(window)->top() / 2);
    desktop.movePointer(grip.x(), grip.y());
    desktop.pressButton();
    const int motions = dragSeconds * motionsPerSecond;
    int previews = 0;
    const Figures drag = measure(pid, [&] {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < motions; ++i) {
            const double phase = double(i % motionsPerSecond) / motionsPerSecond;
            const int x = int(std::lround(900 * std::abs(1 - 2 * phase))) - 150;
            input(XCB_MOTION_NOTIFY, 0, std::max(0, x), 450);
            if (i % 50 == 0)
                previews += previewsShown(c);
            const qint64 due = qint64(i + 1) * 1'000'000 / motionsPerSecond;
            if (const qint64 ahead = due - clock.nsecsElapsed() / 1000; ahead > 0)
                QThread::usleep(ahead);
        }
    });
    input(XCB_BUTTON_RELEASE, 1);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    desktop.waitUntil([] { return false; }, 300);

    // Ten clicks and ten letters a second inside the window, never moving it.
    const Figures typing = measure(pid, [&] {
        const xcb_keycode_t key = *desktop.keycode(letterA);
        input(XCB_MOTION_NOTIFY, 0, frame.center().x(), frame.center().y());
        for (int i = 0; i < typingSeconds * 10; ++i) {
            input(XCB_BUTTON_PRESS, 1);
            QThread::msleep(40);
            input(XCB_BUTTON_RELEASE, 1);
            input(XCB_KEY_PRESS, key);
            QThread::msleep(20);
            input(XCB_KEY_RELEASE, key);
            QThread::msleep(40);
        }
    });
    const Figures idle = measure(pid, [] { QThread::sleep(idleSeconds); });

    std::printf("%s: a %d s drag, the pointer moved %d times a second: Panemaker used %.1f ms of CPU, %.2f %% of "
                "one core [target <= 1 %%]; %lld wake-ups; the preview appeared %d times for %d visits to the edge\n",
                qPrintable(name), dragSeconds, motionsPerSecond, drag.cpuMs, drag.cpuMs / (dragSeconds * 10.0),
                drag.wakeUps, previews, dragSeconds);
    std::printf("%s: %d s of clicking and typing (%d clicks, %d keys): %.1f ms of CPU, %.2f %% of one core, "
                "%lld wake-ups\n",
                qPrintable(name), typingSeconds, typingSeconds * 10, typingSeconds * 10, typing.cpuMs,
                typing.cpuMs / (typingSeconds * 10.0), typing.wakeUps);
    std::printf("%s: then %d s with no button held: %.1f wake-ups a second [target 0]\n", qPrintable(name), idleSeconds,
                double(idle.wakeUps) / idleSeconds);
    return 0;
}
