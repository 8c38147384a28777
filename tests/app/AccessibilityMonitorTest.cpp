// The access monitor: polled once a second only while access is missing, asked again half a second
// after the session's notice, and telling its observers only of real changes.
#include "app/AccessibilityMonitor.h"
#include "fake/FakeDesktop.h"

#include <QTest>

using namespace panemaker;

class AccessibilityMonitorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void accessComesAndGoes()
    {
        FakeDesktop desktop;
        desktop.trusted = false;
        AccessibilityMonitor monitor(desktop);
        QList<bool> told;
        connect(&monitor, &AccessibilityMonitor::trustedChanged, this, [&](bool trusted) { told.append(trusted); });
        QVERIFY(!monitor.isTrusted());

        desktop.trusted = true; // a window manager starts, and says nothing
        QTRY_COMPARE_WITH_TIMEOUT(told, QList<bool>{true}, 1500);
        desktop.accessWatcher(); // the notice of the same change, late
        QTest::qWait(600);
        const int asked = desktop.trustQueries;
        QTest::qWait(1100); // no poll once access is there
        QCOMPARE(desktop.trustQueries, asked);
        QCOMPARE(told, QList<bool>{true});

        desktop.trusted = false; // it goes: only the notice tells
        desktop.accessWatcher();
        QTest::qWait(300);
        QCOMPARE(told, (QList<bool>{true}));
        QTRY_COMPARE_WITH_TIMEOUT(told, (QList<bool>{true, false}), 500);
        desktop.trusted = true; // and is back: the poll finds it
        QTRY_COMPARE_WITH_TIMEOUT(told, (QList<bool>{true, false, true}), 1500);
    }
};

QTEST_GUILESS_MAIN(AccessibilityMonitorTest)
#include "AccessibilityMonitorTest.moc"
