// Dragging windows by their title bars on the window manager PANEMAKER_TEST_SESSION names (openbox when unset):
// the preview shows where a window will land, the release snaps it there.
#include "desktop/TestDesktop.h"
#include "support/PanemakerProcess.h"
#include "support/ProcessFigures.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class DragSnappingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<PanemakerProcess> m_panemaker;
    TestClient *m_client = nullptr;
    QStringList m_opened;
    QElapsedTimer m_sinceRelease;

    xcb_window_t open(const QString &title)
    {
        m_opened.append(u"w%1"_s.arg(m_opened.size() + 1));
        return m_client->openActive(m_opened.last(),
                                    {u"title="_s + title, u"x=600"_s, u"y=300"_s, u"w=400"_s, u"h=300"_s});
    }
    // Presses at `from` (a point of the window's frame: its title bar unless told otherwise) and moves the
    // pointer through the points, apart as far in time as a quick hand; the last one is held `restMs` more.
    void drag(QPoint from, const QList<QPoint> &path, int restMs = 0)
    {
        // Two presses closer than this are a double click, which rolls a window up in some window managers.
        QTest::qWait(std::max(0, 400 - int(m_sinceRelease.elapsed())));
        m_desktop->movePointer(from.x(), from.y());
        m_desktop->pressButton();
        for (const QPoint &p : path) {
            m_desktop->movePointer(p.x(), p.y());
            QTest::qWait(30); // the pointer is read once a frame while the button is down
        }
        QTest::qWait(restMs);
    }
    void release()
    {
        m_desktop->releaseButton();
        m_sinceRelease.start();
    }
    QPoint titleBar(xcb_window_t window)
    {
        const QRect frame = *m_desktop->outerFrame(window);
        return {frame.center().x(), frame.y() + m_desktop->frameExtents(window)->top() / 2};
    }
    std::optional<QRect> preview() { return m_desktop->shownWindow(u"Panemaker highlight"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        m_desktop = std::make_unique<TestDesktop>(TestDesktop::sessionUnderTest());
        m_client = m_desktop->startWithClient();
        m_panemaker = std::make_unique<PanemakerProcess>(*m_desktop);
        QVERIFY(m_panemaker->start({u"askToFillGap=false"_s}));
        m_sinceRelease.start();
    }

    void cleanup()
    {
        release();
        for (const QString &name : std::exchange(m_opened, {}))
            m_client->destroy(name);
        QVERIFY2(!m_panemaker->hasDied(), "Panemaker died");
    }

    // Points in root coordinates: LEFT is 1440 × 900 at 0,0, RIGHT 1920 × 1080 to its right.
    void edgesAndCornersSnap_data()
    {
        QTest::addColumn<QPoint>("edge");
        QTest::addColumn<int>("restMs");
        QTest::addColumn<QRect>("expected"); // height 0: LEFT's usable height; half of it with a y of -1
        QTest::addColumn<QString>("screenshot");
        QTest::newRow("left edge: left half") << QPoint(0, 450) << 0 << QRect(0, 0, 720, 0) << u"drag-preview"_s;
        QTest::newRow("top: maximize") << QPoint(700, 0) << 0 << QRect(0, 0, 1440, 0) << QString();
        QTest::newRow("bottom middle: centre third") << QPoint(700, 899) << 0 << QRect(480, 0, 480, 0) << QString();
        QTest::newRow("top right corner: its quarter") << QPoint(1430, 0) << 0 << QRect(720, 0, 720, -1) << QString();
        QTest::newRow("a rest at the edge RIGHT shares: LEFT's right half")
            << QPoint(1439, 450) << 400 << QRect(720, 0, 720, 0) << QString();
        // Last: the compositor stays for what follows.
        QTest::newRow("under a compositor, the preview translucent")
            << QPoint(0, 450) << 0 << QRect(0, 0, 720, 0) << u"drag-preview-composited"_s;
    }
    void edgesAndCornersSnap()
    {
        QFETCH(QPoint, edge);
        QFETCH(int, restMs);
        QFETCH(QRect, expected);
        QFETCH(QString, screenshot);
        if (screenshot.endsWith(u"composited"_s)) {
            if (m_desktop->sessionName() != u"openbox"_s)
                QSKIP("the compositor is tried on one window manager");
            QVERIFY(m_desktop->startCompositor());
        }
        if (expected.height() <= 0)
            expected.setHeight(m_desktop->leftUsableHeight() / (expected.height() == 0 ? 1 : 2));
        const xcb_window_t window = open(u"dragged"_s);
        drag(titleBar(window), {titleBar(window) + QPoint(5, 5), QPoint(700, 400), edge}, restMs);
        QVERIFY(m_desktop->waitUntil([&] { return preview() == expected.marginsRemoved(QMargins(6, 6, 6, 6)); }));
        if (!screenshot.isEmpty()) {
            QTest::qWait(200); // the preview fades in
            const QString name = m_desktop->sessionName() + u"-"_s + screenshot;
            QVERIFY(m_desktop->screenshot(name));
            // Without a compositor only the ring is drawn; with one, the inside is tinted too.
            const QImage image(TestDesktop::screenshotFile(name));
            QCOMPARE(image.pixel(360, 450) != image.pixel(1000, 100), screenshot.endsWith(u"composited"_s));
        }
        release();
        QVERIFY(m_panemaker->landsAt(window, expected));
        QVERIFY(!preview());
    }

    // Passing the shared edge, dragging inside a window or resizing it, or with drag snapping off: no snap.
    void otherDragsDoNotSnap_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("across to RIGHT without a rest") << u"across"_s;
        QTest::newRow("resized by its frame's corner") << u"resize"_s;
        QTest::newRow("drag snapping off") << u"off"_s;
    }
    void otherDragsDoNotSnap()
    {
        QFETCH(QString, how);
        if (how == u"resize"_s && m_desktop->sessionName() != u"openbox"_s)
            QSKIP("the frame corners resize on Openbox");
        if (how == u"off"_s)
            QVERIFY(m_panemaker->start({u"askToFillGap=false"_s, u"dragToSnap=false"_s}));
        const xcb_window_t window = open(u"dragged"_s);
        const QRect frame = *m_desktop->outerFrame(window);
        const qsizetype logged = m_panemaker->lines().size();
        const QPoint from = how == u"resize"_s ? frame.bottomRight() : titleBar(window);
        const QPoint end = how == u"across"_s ? QPoint(1700, 450) : QPoint(0, 450);
        drag(from, {from + QPoint(5, 5), QPoint(700, 400), QPoint(1439, 450), end});
        release();
        QTest::qWait(200);
        QVERIFY(m_panemaker->lines().mid(logged).filter(u"Drag released"_s).isEmpty());
        QVERIFY(*m_desktop->outerFrame(window) != QRect(0, 0, 720, m_desktop->leftUsableHeight()));
        if (how == u"off"_s)
            QVERIFY(m_panemaker->start({u"askToFillGap=false"_s}));
    }

    // Once the button is up nothing runs, however fast the window moved: no frame clock, no pointer reads.
    void nothingRunsOnceTheButtonIsUp()
    {
        const xcb_window_t window = open(u"dragged"_s);
        drag(titleBar(window), {titleBar(window) + QPoint(5, 5)});
        for (int x = 700; x >= 0; x -= 20) // moves faster than a frame apart
            m_desktop->movePointer(x, 450);
        QVERIFY(m_desktop->waitUntil([&] { return preview().has_value(); }));
        release();
        QVERIFY(m_panemaker->landsAt(window, QRect(0, 0, 720, m_desktop->leftUsableHeight())));
        QTest::qWait(1200); // the preview's window is kept a second for the next zone
        const qint64 pid = m_panemaker->process()->processId();
        const std::optional<qint64> before = contextSwitches(pid);
        QTest::qWait(1000);
        QCOMPARE(contextSwitches(pid), before);
    }

    // Last: the picker stays on for what follows.
    void aDragSnapAsksWhichWindowFillsTheGap()
    {
        QVERIFY(m_panemaker->start({u"askToFillGap=true"_s}));
        open(u"other"_s);
        const xcb_window_t window = open(u"dragged"_s);
        drag(titleBar(window), {titleBar(window) + QPoint(5, 5), QPoint(700, 400), QPoint(0, 450)});
        release();
        QVERIFY(m_panemaker->waitForLine(u"Gap picker: 1 candidate windows"_s));
        QVERIFY(m_desktop->waitUntil([&] { return m_desktop->shownWindow(u"Fill the gap"_s).has_value(); }));
    }
};

QTEST_GUILESS_MAIN(DragSnappingTest)
#include "DragSnappingTest.moc"
