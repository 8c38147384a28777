// idle-bench: how often Panemaker wakes up while nothing happens, on the test desktop of the session named as
// its argument (openbox, openbox-tint2, fluxbox, icewm; openbox when none is given).
#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"
#include "support/ProcessFigures.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <cstdio>

using namespace panemaker;

namespace {

constexpr int idleSeconds = 10;

void fail(const QString &why)
{
    std::fprintf(stderr, "idle-bench: %s\n", qPrintable(why));
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("openbox");
    const std::optional<TestDesktop::Session> session = TestDesktop::sessionNamed(name);
    if (!session)
        fail(QStringLiteral("no session named ") + name);
    TestDesktop desktop(*session);
    desktop.start();
    PanemakerProcess panemaker(desktop);
    if (!panemaker.start({}) || !panemaker.waitForLine(QStringLiteral("Registered 18 shortcuts; failed: ")))
        fail(QStringLiteral("Panemaker did not start: ") + panemaker.lines().join(u'\n'));
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
