// WindowManager against the fake desktop: targets, corrections, refusals, restore history.
#include "core/WindowManager.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeStageManager.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

class RecordingGapFilling final : public GapFilling {
public:
    bool running = false;
    QStringList closedWith;
    QList<std::pair<AXWindow, Snap>> started;

    bool isSessionRunning() const override { return running; }
    void close(bool, const QString &reason) override
    {
        closedWith.append(reason);
        running = false;
    }
    void start(const AXWindow &snapped, const Snap &snap) override { started.append({snapped, snap}); }
};

struct Settings final : SnapPreferences {
    double gap = 0;
    bool ask = false;
    double windowGap() const override { return gap; }
    bool askToFillGap() const override { return ask; }
};

} // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

    Settings m_prefs;
    std::unique_ptr<FakeDisplays> m_displays;
    FakeStageManager m_stage;
    std::unique_ptr<UsableArea> m_usable;
    std::unique_ptr<FakeDesktop> m_desktop;
    RecordingGapFilling m_filling;
    std::unique_ptr<WindowManager> m_manager;
    std::unique_ptr<LogCapture> m_log;

    // The laptop display of the examples: a 25-point menu bar, so its usable area is (0, 25, 1440, 875).
    const Rect laptop{0, 25, 1440, 875};

    Rect frameOf(std::uint32_t id) { return m_desktop->windows.value(id).frame; }

private Q_SLOTS:
    void init()
    {
        m_prefs = Settings();
        m_displays = std::make_unique<FakeDisplays>();
        Screen &left = m_displays->add(u"LEFT"_s, Rect{0, 0, 1440, 900});
        left.visibleFrame = Rect{0, 0, 1440, 875};
        m_displays->add(u"RIGHT"_s, Rect{1440, -180, 1920, 1080});
        m_usable = std::make_unique<UsableArea>(*m_displays, m_stage);
        m_desktop = std::make_unique<FakeDesktop>();
        m_desktop->names.insert(100, u"Editor"_s);
        m_filling = RecordingGapFilling();
        m_manager = std::make_unique<WindowManager>(
            WindowManager::Platform{*m_desktop, *m_displays, *m_usable, *m_desktop, *m_desktop}, m_prefs, &m_filling);
        m_log = std::make_unique<LogCapture>();
    }

    void cleanup() { m_log.reset(); }

    void snapsLandOnTheirTargets_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<double>("gap");
        QTest::addColumn<Rect>("expected");
        QTest::newRow("left half") << SnapAction(SnapAction::leftHalf) << 8.0 << Rect{8, 33, 708, 859};
        QTest::newRow("bottom right") << SnapAction(SnapAction::bottomRight) << 8.0 << Rect{724, 467, 708, 425};
        QTest::newRow("maximize, no gap") << SnapAction(SnapAction::maximize) << 0.0 << laptop;
        QTest::newRow("center shrinks a window larger than the area")
            << SnapAction(SnapAction::center) << 10.0 << Rect{10, 35, 1420, 855};
        QTest::newRow("next display keeps relative place and size")
            << SnapAction(SnapAction::nextDisplay) << 0.0 << Rect{1440, 0, 1920, 1080};
        QTest::newRow("previous display wraps around")
            << SnapAction(SnapAction::previousDisplay) << 0.0 << Rect{1440, 0, 1920, 1080};
    }
    void snapsLandOnTheirTargets()
    {
        QFETCH(SnapAction, action);
        QFETCH(double, gap);
        QFETCH(Rect, expected);
        m_prefs.gap = gap;
        m_desktop->add(1, Rect{-100, 25, 1640, 875}); // wider than the display
        m_manager->perform(action);
        QCOMPARE(frameOf(1), expected);
        QCOMPARE(m_desktop->beeps, 0);
    }

    void logsEachSnapWithWhatItGot()
    {
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_desktop->windows[1].minimumSize = QSizeF(900, 0);
        m_desktop->setFrameResult = -25201;
        m_manager->perform(SnapAction::rightHalf);
        // Flush with the outer edge of the right half, not hanging off the display.
        QCOMPARE(frameOf(1), (Rect{540, 25, 900, 875}));
        QCOMPARE(
            m_log->events(),
            QStringList{
                u"rightHalf Editor: (100, 100, 400, 300) → (720, 25, 720, 875), now (540, 25, 900, 875), AX result -25201"_s});
    }

    void readBackWithinTwoPointsIsLeftAlone()
    {
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_desktop->windows[1].minimumSize = QSizeF(722, 0);
        m_manager->perform(SnapAction::leftHalf);
        QVERIFY(m_desktop->setPositions.isEmpty());
        QCOMPARE(frameOf(1), (Rect{0, 25, 722, 875}));
    }

    void restoreReturnsToTheFrameBeforeARunOfSnaps()
    {
        const Rect start{100, 100, 400, 300};
        m_desktop->add(1, start);
        m_manager->perform(SnapAction::leftHalf);
        m_manager->perform(SnapAction::rightHalf);
        m_manager->perform(SnapAction::restore);
        QCOMPARE(frameOf(1), start);
        QCOMPARE(m_desktop->beeps, 0);
        m_manager->perform(SnapAction::restore); // once per run
        QCOMPARE(m_desktop->beeps, 1);
    }

    void restoreAfterAHandMoveReturnsThere()
    {
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_manager->perform(SnapAction::leftHalf);
        const Rect dragged{300, 200, 720, 875};
        m_desktop->windows[1].frame = dragged;
        m_manager->perform(SnapAction::rightHalf);
        m_manager->perform(SnapAction::restore);
        QCOMPARE(frameOf(1), dragged);
    }

    void restoreCentresWhenTheDisplayIsGone()
    {
        m_desktop->add(1, Rect{2000, 200, 600, 400});
        m_manager->perform(SnapAction::leftHalf);
        m_displays->list.removeLast();                   // RIGHT unplugged
        m_manager->perform(SnapAction::previousDisplay); // beeps: one display left
        QCOMPARE(m_desktop->beeps, 1);
        QCOMPARE(m_log->events().last(), u"previousDisplay: there's only one display"_s);
        m_desktop->windows[1].frame = Rect{100, 100, 960, 1080};
        m_manager->perform(SnapAction::restore);
        QCOMPARE(frameOf(1), (Rect{420, 263, 600, 400}));
    }

    void historyForgetsTheOldestOfSixtyFiveWindows()
    {
        for (std::uint32_t id = 1; id <= 65; ++id) {
            m_desktop->add(id, Rect{double(id), 100, 400, 300});
            m_manager->perform(SnapAction::leftHalf);
        }
        m_desktop->focus(AXWindow{1, 100});
        m_manager->perform(SnapAction::restore);
        QCOMPARE(m_desktop->beeps, 1);
        m_desktop->focus(AXWindow{2, 100});
        m_manager->perform(SnapAction::restore);
        QCOMPARE(frameOf(2), (Rect{2, 100, 400, 300}));
        QCOMPARE(m_desktop->beeps, 1);
    }

    void windowsTheServerDoesNotListSnapButCannotRestore()
    {
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_desktop->windows[1].onServerList = false;
        m_manager->perform(SnapAction::leftHalf);
        QCOMPARE(frameOf(1), (Rect{0, 25, 720, 875}));
        m_manager->perform(SnapAction::restore);
        QCOMPARE(m_desktop->beeps, 1);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("error");
        QTest::newRow("full screen, even restore") << u"fullscreen"_s << SnapAction(SnapAction::restore)
                                                   << u"restore: Editor's window is full screen"_s << false;
        QTest::newRow("a dock or the desktop")
            << u"dock"_s << SnapAction(SnapAction::leftHalf)
            << u"leftHalf: Editor's window is not a normal or dialog window"_s << false;
        QTest::newRow("unreadable frame") << u"unreadable"_s << SnapAction(SnapAction::leftHalf)
                                          << u"leftHalf: couldn't read the frame of Editor's window"_s << true;
        QTest::newRow("no focused window")
            << u"nofocus"_s << SnapAction(SnapAction::maximize) << u"maximize: no focused window in ?"_s << true;
        QTest::newRow("our own window") << u"own"_s << SnapAction(SnapAction::maximize)
                                        << u"maximize: no focused window in Panemaker"_s << true;
        QTest::newRow("unknown application") << u"nameless"_s << SnapAction(SnapAction::center)
                                             << u"center: couldn't read the frame of pid 7's window"_s << true;
    }
    void refusals()
    {
        QFETCH(QString, situation);
        QFETCH(SnapAction, action);
        QFETCH(QString, line);
        QFETCH(bool, error);
        const Rect start{100, 100, 400, 300};
        m_desktop->add(1, start, situation == u"own"_s ? 1 : situation == u"nameless"_s ? 7 : 100);
        m_desktop->names.insert(1, u"Panemaker"_s);
        m_desktop->windows[1].fullScreen = situation == u"fullscreen"_s;
        m_desktop->windows[1].kind = situation == u"dock"_s ? Windows::Kind::other : Windows::Kind::standard;
        m_desktop->windows[1].frameReadable = situation != u"unreadable"_s && situation != u"nameless"_s;
        if (situation == u"nofocus"_s)
            m_desktop->focused.reset();
        m_manager->perform(action);
        QCOMPARE(m_desktop->beeps, 1);
        QCOMPARE(error ? m_log->errors() : m_log->events(), QStringList{line});
        QVERIFY(m_desktop->setFrames.isEmpty());
    }

    void unusableGapsCountAsNone_data()
    {
        QTest::addColumn<double>("gap");
        QTest::addColumn<double>("areaWidth");
        QTest::addColumn<QString>("line");
        QTest::newRow("huge")
            << 1e300 << 1440.0
            << u"Space between windows of 1e+300 points is taken as none: it must be from 0 to 100 points"_s;
        QTest::newRow("negative")
            << -5.0 << 1440.0
            << u"Space between windows of -5 points is taken as none: it must be from 0 to 100 points"_s;
        QTest::newRow("no room left")
            << 100.0 << 300.0
            << u"Space between windows of 100 points is taken as none: it leaves no room for the window"_s;
    }
    void unusableGapsCountAsNone()
    {
        QFETCH(double, gap);
        QFETCH(double, areaWidth);
        QFETCH(QString, line);
        m_prefs.gap = gap;
        m_displays->list[0].visibleFrame.width = areaWidth;
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_manager->perform(SnapAction::leftHalf);
        QCOMPARE(frameOf(1), (Rect{0, 25, areaWidth / 2, 875}));
        m_manager->perform(SnapAction::rightHalf);
        QCOMPARE(frameOf(1), (Rect{areaWidth / 2, 25, areaWidth / 2, 875}));
        QCOMPARE(m_log->events().filter(u"Space between"_s), QStringList{line}); // once, not at every snap
    }

    void missingAccessAsksForItWithoutABeep()
    {
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_desktop->trusted = false;
        int asked = 0;
        m_manager->onNeedsAccess = [&] { ++asked; };
        m_manager->perform(SnapAction::leftHalf);
        QCOMPARE(asked, 1);
        QCOMPARE(m_desktop->beeps, 0);
        QCOMPARE(m_log->errors(), QStringList{u"leftHalf: no window manager is running"_s});
    }

    void snapsHandTheirGapsToGapFilling()
    {
        m_desktop->add(1, Rect{100, 100, 400, 300});
        m_filling.running = true;
        m_manager->perform(SnapAction::leftHalf);
        QCOMPARE(m_filling.closedWith, QStringList{u"cancelled"_s});
        QVERIFY(m_filling.started.isEmpty()); // the preference is off

        m_prefs.ask = true;
        m_manager->perform(SnapAction::topLeft);
        QCOMPARE(m_filling.started.size(), 1);
        QCOMPARE(m_filling.started[0].first, (AXWindow{1, 100}));
        const Snap &snap = m_filling.started[0].second;
        QCOMPARE(snap.action, SnapAction(SnapAction::topLeft));
        QCOMPARE(snap.target, (Rect{0, 25, 720, 438}));
        QCOMPARE(snap.applied, snap.target);
        QCOMPARE(snap.area, laptop);
        m_manager->perform(SnapAction::center); // no complement: no session
        QCOMPARE(m_filling.started.size(), 1);
    }

    void previewFramesOnlyForRegions()
    {
        m_prefs.gap = 8;
        QCOMPARE(m_manager->previewFrame(SnapAction::center, m_displays->list[0]), std::nullopt);
        QCOMPARE(m_manager->previewFrame(SnapAction::maximize, m_displays->list[0]), (Rect{8, 33, 1424, 859}));
    }
};

QTEST_GUILESS_MAIN(WindowManagerTest)
#include "WindowManagerTest.moc"
