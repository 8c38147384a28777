// DragSnapper over the fake desktop: the zones of a display's edges and corners, and which drags
// become snaps.
#include "input/DragSnapper.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeMouseMonitor.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QLineF>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;
using Event = MouseMonitor::Event;

class DragSnapperTest : public QObject {
    Q_OBJECT

    FakeDesktop m_desktop;
    FakeDisplays m_displays;
    FakeMouseMonitor m_mouse;
    std::optional<DragSnapper> m_snapper;
    QStringList m_previews, m_snaps;

    void setUp(bool twoDisplays)
    {
        m_displays.list.clear();
        m_displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900});
        if (twoDisplays)
            m_displays.add(u"RIGHT"_s, Rect{1440, 0, 1920, 1080});
        m_desktop = FakeDesktop();
        m_desktop.add(1, Rect{}); // each drag puts it at (100, 100, 400, 300): (100, 500) to (500, 800) bottom-left
        m_previews.clear();
        m_snaps.clear();
        m_snapper.emplace(DragSnapper::Platform{m_desktop, m_displays, m_desktop, m_mouse});
        m_snapper->previewFrame = [](SnapAction action, const Screen &screen) {
            return action == SnapAction::center ? std::nullopt : std::optional(screen.frame);
        };
        m_snapper->showPreview = [this](const std::optional<Rect> &frame) {
            m_previews.append(frame ? frame->toString() : u"hidden"_s);
        };
        m_snapper->onSnap = [this](const AXWindow &w, SnapAction action, const Screen &screen) {
            m_snaps.append(u"%1 %2 %3"_s.arg(w.id).arg(action.rawValue(), screen.name));
        };
        m_snapper->setEnabled(true);
    }
    // The pointer goes to each point with the button held; "carry" moves the window along, "resize"
    // moves its left edge, "late" carries it from 400 away on, anything else leaves it.
    void drag(const QList<QPointF> &path, const QString &how)
    {
        m_desktop.windows[1].frame = Rect{100, 100, 400, 300};
        QPointF last = m_displays.pointer = path.first();
        m_mouse.send(Event::leftDown, path.first());
        for (const QPointF &point : path.mid(1)) {
            m_displays.pointer = point;
            Rect &frame = m_desktop.windows[1].frame;
            // "late": the window follows only once the pointer was more than 400 away.
            if (how == u"carry"_s || (how == u"late"_s && QLineF(path.first(), last).length() > 400))
                frame =
                    Rect{frame.x + point.x() - last.x(), frame.y - (point.y() - last.y()), frame.width, frame.height};
            else if (how == u"resize"_s) // by its left edge
                frame =
                    Rect{frame.x + point.x() - last.x(), frame.y, frame.width - (point.x() - last.x()), frame.height};
            last = point;
            m_mouse.send(Event::leftDragged, point);
        }
    }

private Q_SLOTS:
    void zones_data()
    {
        QTest::addColumn<bool>("twoDisplays");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QString>("zone"); // first pass, then with the pause
        const auto row = [](const char *name, bool two, QPointF p, const QString &zone) {
            QTest::newRow(name) << two << p << zone;
        };
        row("left edge", false, {0, 450}, u"leftHalf"_s);
        row("right edge, its last column", false, {1439, 450}, u"rightHalf"_s);
        row("top", false, {720, 899}, u"maximize"_s);
        row("bottom middle", false, {720, 0}, u"centerThird"_s);
        row("bottom, 3/10 in", false, {432, 0}, u"firstThird"_s);
        row("bottom, 7/10 in", false, {1008, 1}, u"lastThird"_s);
        row("top near the left", false, {10, 899}, u"topLeft"_s);
        row("left near the top", false, {0, 880}, u"topLeft"_s);
        row("bottom corner", false, {1430, 0}, u"bottomRight"_s);
        row("4 from the edge", false, {4, 450}, u"none"_s);
        row("edge shared with RIGHT", true, {1439, 450}, u"none rightHalf"_s);
        row("8 from the shared edge", true, {1431, 450}, u"none rightHalf"_s);
        row("9 from the shared edge", true, {1430, 450}, u"none"_s);
    }
    void zones()
    {
        QFETCH(bool, twoDisplays);
        QFETCH(QPointF, point);
        QFETCH(QString, zone);
        setUp(twoDisplays);
        QStringList found;
        for (bool allowPause : {false, true}) {
            const auto action = m_snapper->zoneAt(point, m_displays.list[0].frame, allowPause);
            if (!allowPause || action)
                found.append(action ? action->rawValue() : u"none"_s);
        }
        if (found.size() == 2 && found[0] == found[1])
            found.removeLast();
        QCOMPARE(found.join(u' '), zone);
    }

    // The window is pressed at (300, 790), in its title bar.
    void drags_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QList<QPointF>>("path");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("previewed");
        QTest::addColumn<QString>("snap");
        const QList<QPointF> toLeft{{300, 790}, {300, 780}, {100, 600}, {0, 450}};
        QTest::newRow("to the left edge") << QString() << toLeft << u"carry"_s << true << u"1 leftHalf LEFT"_s;
        QTest::newRow("resized by a corner") << QString() << toLeft << u"resize"_s << false << QString();
        QTest::newRow("selecting text past 400, then carried")
            << QString() << QList<QPointF>{{300, 790}, {300, 780}, {0, 450}, {0, 440}} << u"late"_s << false
            << QString();
        QTest::newRow("a dialog") << u"dialog"_s << toLeft << u"carry"_s << false << QString();
        QTest::newRow("our own window") << u"own"_s << toLeft << u"carry"_s << false << QString();
        QTest::newRow("the desktop") << QString() << QList<QPointF>{{900, 300}, {900, 290}, {0, 450}} << u"carry"_s
                                     << false << QString();
        QTest::newRow("no access") << u"untrusted"_s << toLeft << u"carry"_s << false << QString();
        QTest::newRow("away from the edge again")
            << QString() << toLeft + QList<QPointF>{{200, 450}} << u"carry"_s << true << QString();
        // A release the monitor never saw: the next press starts afresh, its own release snaps nothing.
        QTest::newRow("a lost release") << u"lost"_s << toLeft << u"carry"_s << true << QString();
    }
    void drags()
    {
        QFETCH(QString, setUp);
        QFETCH(QList<QPointF>, path);
        QFETCH(QString, how);
        QFETCH(bool, previewed);
        QFETCH(QString, snap);
        this->setUp(false);
        m_desktop.windows[1].kind = setUp == u"dialog"_s ? Windows::Kind::dialog : Windows::Kind::standard;
        m_desktop.ownPid = setUp == u"own"_s ? 100 : 1;
        m_desktop.trusted = setUp != u"untrusted"_s;
        LogCapture log;
        drag(path, how);
        QCOMPARE(m_previews.contains(u"(0, 0, 1440, 900)"_s), previewed);
        if (setUp == u"lost"_s)
            m_mouse.send(Event::leftDown, {500, 500});
        m_mouse.send(Event::leftUp, m_displays.pointer);
        QCOMPARE(m_previews.value(m_previews.size() - 1, u"hidden"_s), u"hidden"_s); // gone before the snap
        QVERIFY(m_snaps.isEmpty());
        QTest::qWait(120);
        QCOMPARE(m_snaps.join(u' '), snap);
        QCOMPARE(log.events(), snap.isEmpty() ? QStringList() : QStringList{u"Drag released in zone leftHalf"_s});
    }

    // At an edge shared with another display the pointer must rest 0.3 s before the zone counts.
    void sharedEdgesWaitForARest()
    {
        setUp(true);
        drag({{300, 790}, {300, 780}, {1200, 600}, {1439, 450}}, u"carry"_s);
        QTest::qWait(150);
        QVERIFY(!m_snapper->zone());
        QTRY_VERIFY(m_snapper->zone());
        QCOMPARE(m_snapper->zone()->action, SnapAction(SnapAction::rightHalf));
        m_mouse.send(Event::leftUp, m_displays.pointer);
        QTRY_COMPARE(m_snaps, QStringList{u"1 rightHalf LEFT"_s});

        drag({{300, 790}, {300, 780}, {1200, 600}, {1439, 450}, {1700, 450}}, u"carry"_s); // on to RIGHT
        QTest::qWait(350);
        QVERIFY(!m_snapper->zone());
        drag({{300, 790}, {300, 780}, {1439, 450}}, u"carry"_s);
        m_snapper->setEnabled(false); // in the middle of a drag
        QVERIFY(std::holds_alternative<DragSnapper::Idle>(m_snapper->phase()));
        QVERIFY(!m_mouse.subscriber);
        QTest::qWait(350);
        QVERIFY(!m_snapper->zone());
    }
};

QTEST_GUILESS_MAIN(DragSnapperTest)
#include "DragSnapperTest.moc"
