// The integration-test desktop itself leaves nothing behind. That its monitors, window managers and client
// windows are as the tests expect, the tests of the program prove by where its snaps land.
#include "desktop/TestDesktop.h"

#include <QTest>

#include <signal.h>

#include <cerrno>

using namespace panemaker;
using namespace Qt::StringLiterals;

class TestDesktopTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endsEveryProcessItStarted()
    {
        auto desktop = std::make_unique<TestDesktop>(TestDesktop::Session::openboxWithTint2, 3);
        TestClient *client = desktop->startWithClient();
        client->openActive(u"w"_s, {u"x=3460"_s, u"y=100"_s});
        const QList<qint64> pids = desktop->processIds();
        QCOMPARE(pids.size(), 4); // Xvfb, Openbox, tint2, the client
        desktop.reset();
        for (qint64 pid : pids)
            QVERIFY2(::kill(pid_t(pid), 0) == -1 && errno == ESRCH, qPrintable(QString::number(pid)));
    }
};

QTEST_GUILESS_MAIN(TestDesktopTest)
#include "TestDesktopTest.moc"
