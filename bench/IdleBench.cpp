// idle-bench: how often Panemaker wakes up while nothing happens, on the test desktop of the session named as
// its argument (openbox, openbox-tint2, fluxbox, icewm; openbox when none is given).
#include "Bench.h"
#include "support/ProcessFigures.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <cstdio>

using namespace panemaker;

namespace {

constexpr int idleSeconds = 10;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestDesktop desktop(sessionArgument(app.arguments()));
    const QString name = desktop.sessionName();
    desktop.start();
    PanemakerProcess panemaker(desktop);
    startPanemaker(panemaker, {});
    // Let start-up settle (the first checks run soon after launch), then watch.
    QThread::sleep(3);
    const qint64 pid = panemaker.process()->processId();
    const std::optional<qint64> before = contextSwitches(pid);
    QThread::sleep(idleSeconds);
    const std::optional<qint64> after = contextSwitches(pid);
    if (!before || !after)
        fail(QStringLiteral("cannot read /proc/%1/status").arg(pid));
    std::printf("%s: Panemaker woke up %.1f times a second while idle (%lld in %d s)\n", qPrintable(name),
                double(*after - *before) / idleSeconds, *after - *before, idleSeconds);
    return 0;
}
