// gaps-bench: how soon the gap picker is on screen after a hot-key snap, and what Panemaker holds in memory while
// it is open, on a desktop of 50 windows of 20 applications. Each round snaps the same window to the left half,
// times the hot key press until the picker's window is mapped, seen from another client, and closes the picker
// with Escape.
//
//   gaps-bench [--rounds N] [SESSION]     (openbox by default)
#include "Bench.h"
#include "support/ProcessFigures.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>

#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace panemaker;

namespace {

constexpr int applicationCount = 20;
constexpr int windowCount = 50;
constexpr int timeoutMs = 3000;
// Long enough for the thumbnails of the picker's 30 windows to be in its memory.
constexpr int settleMs = 500;
constexpr xcb_keysym_t controlKey = 0xffe3, altKey = 0xffe9, leftKey = 0xff51, escapeKey = 0xff1b;

qsizetype countLines(PanemakerProcess &panemaker, const QString &start)
{
    const QStringList lines = panemaker.lines();
    return std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(start); });
}

void printTiming(const char *what, std::vector<double> ms, const char *unit, const char *target)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %8.2f %s   p95 %8.2f %s   %s\n", what, ms[ms.size() / 2], unit,
                ms[std::min(ms.size() - 1, std::size_t(double(ms.size()) * 0.95))], unit, target);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 50;
    QString name = QStringLiteral("openbox");
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--rounds") && i + 1 < arguments.size())
            rounds = arguments[++i].toInt();
        else if (TestDesktop::sessionNamed(arguments[i]))
            name = arguments[i];
        else
            fail(QStringLiteral("usage: gaps-bench [--rounds N] [SESSION]"));
    }
    if (rounds < 1)
        fail(QStringLiteral("--rounds needs a positive number"));

    TestDesktop desktop(*TestDesktop::sessionNamed(name));
    desktop.start();
    // Window i belongs to application i % 20; the first is the one snapped.
    std::vector<TestClient *> clients;
    for (int a = 0; a < applicationCount; ++a)
        clients.push_back(desktop.startClient());
    const xcb_window_t snapped =
        clients[0]->open(QStringLiteral("w0"), {QStringLiteral("x=300"), QStringLiteral("y=200"),
                                                QStringLiteral("w=500"), QStringLiteral("h=400")});
    const qsizetype expected = desktop.clientList().size() + windowCount - 1;
    for (int i = 1; i < windowCount; ++i)
        clients[i % applicationCount]->request(QStringLiteral("open w%1 x=%2 y=%3 w=300 h=200 title=window-%1")
                                                   .arg(i)
                                                   .arg(i * 37 % 3000)
                                                   .arg(i * 13 % 800));
    if (!desktop.waitUntil([&] { return desktop.clientList().size() >= expected; }, 60000))
        fail(QStringLiteral("the window manager did not take all %1 windows").arg(windowCount));

    PanemakerProcess panemaker(desktop);
    startPanemaker(panemaker, {QStringLiteral("askToFillGap=true")});
    const qint64 pid = panemaker.process()->processId();

    // The bench's own connection presses the hot key and sees the picker mapped: an override-redirect window is a
    // child of the root.
    xcb_connection_t *c = xcb_connect(desktop.displayName().toLocal8Bit().constData(), nullptr);
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> connection(c, xcb_disconnect);
    if (xcb_connection_has_error(c))
        fail(QStringLiteral("cannot connect to ") + desktop.displayName());
    const uint32_t substructure = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, desktop.root(), XCB_CW_EVENT_MASK, &substructure);
    const xcb_keycode_t keys[] = {*desktop.keycode(controlKey), *desktop.keycode(altKey), *desktop.keycode(leftKey)};
    const auto pressHotKey = [&] {
        for (xcb_keycode_t k : keys)
            xcb_test_fake_input(c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto k = std::rbegin(keys); k != std::rend(keys); ++k)
            xcb_test_fake_input(c, XCB_KEY_RELEASE, *k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    };

    desktop.activate(snapped);
    if (!desktop.waitUntil([&] { return desktop.activeWindow() == snapped; }))
        fail(QStringLiteral("the snapped window did not become active"));
    const qint64 memoryBefore = residentKb(pid);

    std::vector<double> shown, highlighted, listed, memory;
    QString candidates;
    int extraEscapes = 0;
    for (int round = 0; round < rounds; ++round) {
        // Whatever came since the last round is not this round's.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        TestDesktop::awaitEvent(c, QDeadlineTimer(0), [](const xcb_generic_event_t *) { return false; });
        const qsizetype closedBefore = countLines(panemaker, QStringLiteral("Gap picker closed:"));

        QElapsedTimer timer;
        timer.start();
        pressHotKey();
        // The gap's highlight shows as the session starts, once the snap is done; the picker once the window
        // list is ready.
        std::optional<double> highlightMs;
        const bool mapped = TestDesktop::awaitEvent(
            c, QDeadlineTimer(timeoutMs, Qt::PreciseTimer), [&](const xcb_generic_event_t *event) {
                if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
                    return false;
                const QByteArray title =
                    TestDesktop::windowName(c, reinterpret_cast<const xcb_map_notify_event_t *>(event)->window);
                if (title == "Panemaker highlight" && !highlightMs)
                    highlightMs = double(timer.nsecsElapsed()) / 1e6;
                return title == "Fill the gap";
            });
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!mapped)
            fail(QStringLiteral("no picker within %1 ms; log: %2").arg(timeoutMs).arg(panemaker.lines().join(u'\n')));
        shown.push_back(ms);
        if (highlightMs) {
            highlighted.push_back(*highlightMs);
            listed.push_back(ms - *highlightMs);
        }

        desktop.waitUntil([] { return false; }, settleMs);
        memory.push_back(double(residentKb(pid)) / 1024);
        const QStringList opened = panemaker.lines().filter(QStringLiteral("Gap picker: "));
        candidates = opened.isEmpty() ? QString() : opened.last();

        // The picker grabs the keyboard right after it maps its window; an Escape that came first went to the
        // snapped window, so it is pressed again.
        bool closed = false;
        for (int tries = 0; !closed && tries < 5; ++tries) {
            extraEscapes += tries > 0;
            desktop.pressKey(escapeKey);
            closed = desktop.waitUntil(
                [&] { return countLines(panemaker, QStringLiteral("Gap picker closed:")) > closedBefore; }, 500);
        }
        const QStringList closes = panemaker.lines().filter(QStringLiteral("Gap picker closed:"));
        if (!closed || !closes.last().startsWith(QStringLiteral("Gap picker closed: dismissed with esc")))
            fail(QStringLiteral("the picker did not close with Escape: ") + closes.join(u" | "));
        if (round == 0)
            std::printf("%s: %d windows of %d applications; %s; %s\n", qPrintable(name), windowCount, applicationCount,
                        qPrintable(candidates), qPrintable(closes.last()));
    }

    std::printf("\n%d rounds%s\n", rounds,
                extraEscapes ? qPrintable(QStringLiteral(" (%1 Escapes pressed again)").arg(extraEscapes)) : "");
    printTiming("hot key until the picker is mapped", shown, "ms", "[target <= 50 ms]");
    if (!highlighted.empty()) {
        printTiming("  of which: hot key until the highlight", highlighted, "ms", "(the snap, the session's start)");
        printTiming("  of which: highlight until the picker", listed, "ms", "(the window list, the picker's build)");
    }
    printTiming("Panemaker resident with the picker open", memory, "MB", "[target <= 45 MB]");
    std::printf("Panemaker resident before the first snap: %.1f MB, after the last round: %.1f MB\n",
                double(memoryBefore) / 1024, double(residentKb(pid)) / 1024);
    return 0;
}
