// Conflict detection: known snapping tools among the processes, their names as a sentence lists
// them, quitting them, and the reads off the main thread that report only real changes.
#include "app/ConflictDetection.h"
#include "fake/FakeDesktop.h"

#include <QMutex>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace panemaker;
using ProcessList = QList<RunningProcess>;
using Snappers = QList<OtherSnapper>;
Q_DECLARE_METATYPE(ProcessList)

namespace {

// What the background reads see; each read is counted.
struct FakeReads final : Processes, WindowManagerSettings {
    QList<RunningProcess> running() const override
    {
        QMutexLocker lock(&mutex);
        return ++reads, processes;
    }
    void terminate(std::int32_t pid) override { terminated.append(pid); }
    EdgeTilingState edgeTiling(const QString &windowManager) const override
    {
        QMutexLocker lock(&mutex);
        const bool main = QThread::currentThread() == QCoreApplication::instance()->thread();
        askedFor = windowManager + (main ? " on the main thread" : "");
        return ++reads, tiling;
    }
    bool openTilingSettings(const QString &windowManager) override { return opened = windowManager, true; }
    void set(const QList<RunningProcess> &now, EdgeTilingState state)
    {
        QMutexLocker lock(&mutex);
        processes = now, tiling = state;
    }

    mutable QMutex mutex;
    mutable std::atomic<int> reads = 0;
    mutable QString askedFor;
    QList<RunningProcess> processes;
    EdgeTilingState tiling = EdgeTilingState::unknown;
    QList<std::int32_t> terminated;
    QString opened;
};

} // namespace

class ConflictDetectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void detection_data()
    {
        QTest::addColumn<ProcessList>("processes");
        QTest::addColumn<QString>("names");
        QTest::addColumn<QList<std::int32_t>>("pids");
        QTest::newRow("none") << ProcessList{{5, "bash"}, {6, "quicktile-helpe"}, {7, "Cortile"}} << ""
                              << QList<std::int32_t>{};
        QTest::newRow("one") << ProcessList{{5, "bash"}, {6, "quicktile"}} << "QuickTile" << QList<std::int32_t>{6};
        QTest::newRow("two") << ProcessList{{30, "cortile"}, {31, "xterm"}, {12, "x-tile"}} << "Cortile and X Tile"
                             << QList<std::int32_t>{30, 12};
        QTest::newRow("three") << ProcessList{{40, "pytyle3"}, {41, "xpytile.py"}, {2, "opensnap"}}
                               << "PyTyle, xpytile and OpenSnap" << QList<std::int32_t>{40, 41, 2};
    }
    void detection()
    {
        QFETCH(ProcessList, processes);
        QFETCH(QString, names);
        QFETCH(QList<std::int32_t>, pids);
        FakeReads reads;
        FakeDesktop desktop;
        reads.processes = processes;
        ConflictDetection detection(reads, reads, desktop);
        const Snappers found = detection.runningOtherSnappers();
        QCOMPARE(ConflictDetection::appNamesList(found), names);
        // Ended, and in some rows its number taken by another program (bash).
        detection.quit(found + Snappers{{5, "QuickTile"}});
        QCOMPARE(reads.terminated, pids);
        QCOMPARE(ConflictDetection::appNamesList({{3, ""}}), "Another window manager");
    }

    void watching()
    {
        FakeReads reads;
        FakeDesktop desktop;
        desktop.windowManager = "Xfwm4";
        reads.processes = {{20, "zentile"}};
        ConflictDetection detection(reads, reads, desktop);
        QList<Snappers> snappers;
        QList<EdgeTilingState> tiling;
        connect(&detection, &ConflictDetection::otherSnappersChanged, this, [&](const Snappers &s) { snappers << s; });
        connect(&detection, &ConflictDetection::edgeTilingStateChanged, this, [&](EdgeTilingState s) { tiling << s; });
        const auto readsSettle = [&](int more) {
            const int target = reads.reads + more;
            QTRY_VERIFY(reads.reads >= target);
            QTest::qWait(30); // the last result comes back to the main thread
        };

        detection.refreshEdgeTiling();
        QCOMPARE(detection.edgeTilingState(), EdgeTilingState::off); // until the read comes back
        QTRY_COMPARE(tiling, QList<EdgeTilingState>{EdgeTilingState::unknown});
        QCOMPARE(reads.askedFor, "Xfwm4");
        detection.openTilingSettings();
        QCOMPARE(reads.opened, "Xfwm4");

        auto *timer = detection.findChild<QTimer *>();
        QVERIFY(timer && !timer->isActive());
        detection.setWatching(true);
        QCOMPARE(timer->isActive() ? timer->interval() : 0, 2000);
        timer->setInterval(20); // the same reads, sooner
        readsSettle(4);         // the list it started with is no change
        QCOMPARE(snappers, QList<Snappers>{});

        reads.set({{20, "zentile"}, {21, "opensnap"}}, EdgeTilingState::on);
        QTRY_COMPARE(snappers, (QList<Snappers>{{{20, "Zentile"}, {21, "OpenSnap"}}}));
        QTRY_COMPARE(tiling, (QList<EdgeTilingState>{EdgeTilingState::unknown, EdgeTilingState::on}));
        readsSettle(4);
        QCOMPARE(snappers.size(), 1);
        QCOMPARE(tiling.size(), 2);

        detection.setWatching(false);
        QVERIFY(!timer->isActive());
        QTest::qWait(30); // a read under way ends
        const int last = reads.reads;
        QTest::qWait(100);
        QCOMPARE(reads.reads, last);
    }
};

QTEST_GUILESS_MAIN(ConflictDetectionTest)
#include "ConflictDetectionTest.moc"
