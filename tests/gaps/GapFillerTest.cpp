// GapFiller over the fake desktop, with its real picker on the offscreen platform: sessions, the
// ways they end, placing, and results that come too late.
#include "gaps/GapFiller.h"
#include "fake/FakeClickMonitor.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeStageManager.h"
#include "fake/FakeThumbnails.h"
#include "gaps/GapPickerPanel.h"
#include "gaps/WindowCard.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;
using A = SnapAction;

class GapFillerTest : public QObject {
    Q_OBJECT

    FakeDesktop m_desktop;
    FakeDisplays m_displays;
    FakeStageManager m_stage;
    FakeThumbnails m_thumbnails;
    FakeClickMonitor m_clicks;
    bool m_previews = true;
    std::optional<GapFiller> m_filler;
    std::optional<LogCapture> m_log;

    const Rect area{0, 0, 1440, 900};

    // Window 1 (pid 100) is snapped by the action, as the window manager would hand it over.
    void snap(A action)
    {
        const Rect target = action == A::topLeft     ? Rect{0, 0, 720, 450}
                            : action == A::rightHalf ? Rect{720, 0, 720, 900}
                                                     : Rect{0, 0, 720, 900};
        m_desktop.windows[1].frame = target;
        m_desktop.focused = 1;
        m_filler->start(AXWindow{1, 100}, Snap{action, target, target, area, 0});
    }
    bool pickerShows(qsizetype cards)
    {
        return QTest::qWaitFor([&] { return m_filler->picker() && m_filler->picker()->cards().size() == cards; });
    }
    // Another application's window, behind the snapped one once that is snapped.
    FakeDesktop::Window &other(std::uint32_t id)
    {
        m_desktop.add(id, Rect{500, 100, 400, 300}, 200);
        m_desktop.windows[id].order = int(id);
        return m_desktop.windows[id];
    }
    QStringList closes() const { return m_log->events().filter(u"Gap picker closed"_s); }

private Q_SLOTS:
    void init()
    {
        m_desktop = FakeDesktop();
        m_desktop.names = {{100, u"Editor"_s}, {200, u"Mail"_s}};
        m_desktop.add(1, Rect{100, 100, 400, 300});
        m_displays.list.clear();
        m_displays.add(u"LEFT"_s, area);
        m_thumbnails = FakeThumbnails();
        m_log.emplace();
        m_filler.emplace(
            GapFiller::Platform{m_desktop, m_desktop, m_displays, m_desktop, m_stage, m_thumbnails, m_clicks},
            [this] { return m_previews; });
    }
    void cleanup() { m_filler.reset(); }

    // Windows 2 and 3 wait to be picked; `then` is what the user does with the first picker.
    void sessionsEndWithTheirReason_data()
    {
        QTest::addColumn<A>("action");
        QTest::addColumn<int>("others");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("closed");
        QTest::addColumn<std::uint32_t>("focused"); // at the end
        QTest::newRow("one gap filled, the snapped window in front")
            << A(A::leftHalf) << 1 << u"pick"_s << u"all gaps filled (0 previews)"_s << 1u;
        QTest::newRow("three gaps, one window")
            << A(A::topLeft) << 1 << u"pick"_s << u"no windows left to place (0 previews)"_s << 1u;
        QTest::newRow("escape before a pick brings nothing forward")
            << A(A::leftHalf) << 2 << u"escape"_s << u"dismissed with esc (0 previews)"_s << 3u;
        QTest::newRow("click outside") << A(A::leftHalf) << 2 << u"click"_s << u"clicked outside (0 previews)"_s << 3u;
        QTest::newRow("a new snap") << A(A::leftHalf) << 2 << u"snap"_s << u"cancelled (0 previews)"_s << 1u;
    }
    void sessionsEndWithTheirReason()
    {
        QFETCH(A, action);
        QFETCH(int, others);
        QFETCH(QString, then);
        QFETCH(QString, closed);
        QFETCH(std::uint32_t, focused);
        for (std::uint32_t id = 2; id < 2 + std::uint32_t(others); ++id)
            other(id);
        snap(action);
        QVERIFY(pickerShows(others));
        m_desktop.focused = 3; // the user has moved on meanwhile
        if (then == u"click"_s)
            m_clicks.click();
        else if (then == u"snap"_s)
            snap(A::rightHalf);
        else
            QTest::keyClick(m_filler->picker(), then == u"pick"_s ? Qt::Key_Return : Qt::Key_Escape);
        QTRY_COMPARE(closes().value(0), u"Gap picker closed: "_s + closed);
        QCOMPARE(m_desktop.focused, std::optional(focused));
        QCOMPARE(m_filler->isSessionRunning(), then == u"snap"_s);
        QVERIFY(!m_clicks.subscriber); // a new session monitors clicks once its picker shows
    }

    // A minimised window (listed last) is brought back; a window keeping its own size is aligned by the gap's outer
    // edge. The picker says which of the gaps it fills.
    void picksArePlaced()
    {
        other(2).minimized = true;
        other(3).minimumSize = QSizeF(900, 0);
        snap(A::topLeft);
        QVERIFY(pickerShows(2));
        QCOMPARE(m_filler->picker()->regionText(), u"Top Right  \u00B7  1 of 3"_s);
        QTest::keyClick(m_filler->picker(), Qt::Key_Return);
        QCOMPARE(m_desktop.windows[3].frame, (Rect{540, 0, 900, 450}));
        QCOMPARE(m_filler->picker()->regionText(), u"Bottom Left  \u00B7  2 of 3"_s);
        QTest::keyClick(m_filler->picker(), Qt::Key_Return);
        QCOMPARE(m_desktop.windows[2].frame, (Rect{0, 450, 720, 450}));
        QVERIFY(!m_desktop.windows[2].minimized);
        QCOMPARE(closes(), QStringList{u"Gap picker closed: no windows left to place (0 previews)"_s});
    }

    // Thumbnails of the first visible candidates only; one on its way when the session ends is dropped.
    void thumbnailsArriveWhileTheSessionLasts()
    {
        other(2);
        other(3).minimized = true;
        snap(A::leftHalf);
        QVERIFY(pickerShows(2));
        QCOMPARE(m_thumbnails.requested, QList<std::uint32_t>{2});
        QImage image(344, 212, QImage::Format_RGB32);
        m_thumbnails.deliver(2, image);
        QCOMPARE(m_filler->picker()->cards().first()->thumbnail().deviceIndependentSize(), QSizeF(172, 106));
        QTest::keyClick(m_filler->picker(), Qt::Key_Escape);
        QCOMPARE(*m_thumbnails.liveRuns, 0);
        m_thumbnails.deliver(2, image);
        QCOMPARE(closes(), QStringList{u"Gap picker closed: dismissed with esc (1 previews)"_s});

        m_previews = false;
        m_thumbnails.requested.clear();
        snap(A::leftHalf);
        QVERIFY(pickerShows(2));
        QVERIFY(m_thumbnails.requested.isEmpty());
    }

    // Candidates listed for a session that has ended are dropped; with none the picker closes by itself.
    void candidatesComeTooLateOrNotAtAll()
    {
        snap(A::leftHalf);
        m_filler->close(false, u"cancelled"_s);
        QTest::qWait(100);
        QVERIFY(!m_filler->picker());

        snap(A::leftHalf);
        QVERIFY(pickerShows(0));
        QTRY_COMPARE_WITH_TIMEOUT(closes().size(), 2, 2500);
        QCOMPARE(closes().last(), u"Gap picker closed: no other windows on this desktop (0 previews)"_s);
    }
};

QTEST_MAIN(GapFillerTest)
#include "GapFillerTest.moc"
