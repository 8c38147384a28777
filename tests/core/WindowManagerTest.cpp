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
using A = SnapAction;

namespace {

class RecordingGapFilling final : public GapFilling {
public:
    bool running = false;
    QStringList closedWith;
    QStringList started; // the window, then what the snap hands over

    bool isSessionRunning() const override { return running; }
    void close(bool, const QString &reason) override
    {
        closedWith.append(reason);
        running = false;
    }
    void start(const AXWindow &w, const Snap &snap) override
    {
        const QString applied = snap.applied ? snap.applied->toString() : u"nil"_s;
        started.append(u"%1 %2 %3 %4 %5 %6"_s.arg(w.id)
                           .arg(snap.action.rawValue(), snap.target.toString(), applied, snap.area.toString())
                           .arg(snap.gap));
    }
};

struct Settings final : SnapPreferences {
    double gap = 8;
    bool ask = false;
    double windowGap() const override { return gap; }
    bool askToFillGap() const override { return ask; }
};

} // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

    Settings m_prefs;
    FakeDisplays m_displays;
    FakeStageManager m_stage;
    UsableArea m_usable{m_displays, m_stage};
    FakeDesktop m_desktop;
    RecordingGapFilling m_filling;
    std::optional<WindowManager> m_manager;
    std::optional<LogCapture> m_log;

    const Rect small{100, 100, 400, 300};

    Rect frameOf(std::uint32_t id) { return m_desktop.windows.value(id).frame; }

private Q_SLOTS:
    void init()
    {
        m_prefs = Settings();
        // Sorted left to right: WEST; LEFT, the primary, whose 25-point menu bar leaves (0, 25, 1440, 875)
        // in the top-left space; RIGHT, taller, reaching below LEFT.
        m_displays.list.clear();
        m_displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900}).visibleFrame = Rect{0, 0, 1440, 875};
        m_displays.add(u"RIGHT"_s, Rect{1440, -180, 1920, 1080});
        m_displays.add(u"WEST"_s, Rect{-1440, 0, 1440, 900});
        m_desktop = FakeDesktop();
        m_desktop.names.insert(100, u"Editor"_s);
        m_filling = RecordingGapFilling();
        m_manager.emplace(WindowManager::Platform{m_desktop, m_displays, m_usable, m_desktop, m_desktop}, m_prefs,
                          &m_filling);
        m_log.emplace();
    }

    // A window is snapped with each action in turn; an empty expected frame is not checked.
    void snaps_data()
    {
        QTest::addColumn<Rect>("start");
        QTest::addColumn<QSizeF>("minimum");
        QTest::addColumn<QList<A>>("actions");
        QTest::addColumn<QList<Rect>>("frames"); // after each action
        using L = QList<A>;
        using F = QList<Rect>;
        const QSizeF any;
        const Rect left{0, 25, 720, 875}, west{-1440, 0, 720, 900}, right{1440, 0, 960, 1080}, skip;
        QTest::newRow("center shrinks") << Rect{-100, 25, 1640, 875} << any << L{A::center} << F{{8, 33, 1424, 859}};
        QTest::newRow("next and previous display")
            << left << any << L{A::nextDisplay, A::previousDisplay, A::previousDisplay} << F{right, left, west};
        QTest::newRow("kept width, on the next display")
            << left << QSizeF(1000, 0) << L{A::nextDisplay} << F{{1440, 0, 1000, 1080}};
        QTest::newRow("2 off, left alone") << small << QSizeF(710, 0) << L{A::rightHalf} << F{{724, 33, 710, 859}};
        QTest::newRow("3 off, to the outer edge")
            << small << QSizeF(711, 0) << L{A::rightHalf} << F{{721, 33, 711, 859}};
        QTest::newRow("kept height, to the bottom")
            << small << QSizeF(0, 500) << L{A::bottomHalf} << F{{8, 392, 1424, 500}};
        // Restore: to the frame before a run of snaps if that still shows 100 × 50 on a display.
        const L run{A::leftHalf, A::rightHalf, A::restore};
        QTest::newRow("restore a window keeping its width")
            << small << QSizeF(900, 0) << run << F{skip, skip, {100, 100, 900, 300}};
        const Rect low{-50, 850, 150, 100}, high{100, -50, 400, 100}, under{1400, 950, 400, 100};
        QTest::newRow("exactly 100 x 50 shown") << low << any << run << F{skip, skip, low};
        QTest::newRow("the menu bar is part of the display") << high << any << run << F{skip, skip, high};
        QTest::newRow("below one display, on the taller next") << under << any << run << F{skip, skip, under};
        QTest::newRow("99 wide shown: centred")
            << Rect{-51, 100, 150, 300} << any << run << F{skip, skip, {645, 313, 150, 300}};
        QTest::newRow("49 high shown: centred, within the gaps")
            << Rect{100, 851, 400, 1000} << any << run << F{skip, skip, {520, 33, 400, 859}};
    }
    void snaps()
    {
        QFETCH(Rect, start);
        QFETCH(QSizeF, minimum);
        QFETCH(QList<A>, actions);
        QFETCH(QList<Rect>, frames);
        m_desktop.add(1, start);
        m_desktop.windows[1].minimumSize = minimum;
        for (qsizetype i = 0; i < actions.size(); ++i) {
            m_manager->perform(actions[i]);
            if (frames[i] != Rect())
                QCOMPARE(frameOf(1), frames[i]);
        }
    }

    // Restore goes back to where a window was before its latest run of snaps, once; only the
    // latest 64 windows the window server lists are remembered.
    void history()
    {
        const Rect dragged{300, 200, 720, 875};
        for (std::uint32_t id = 1; id <= 66; ++id) {
            if (id == 65) { // dragged and snapped again, window 1 is the latest: window 2 is now the oldest
                m_desktop.windows[1].frame = dragged;
                m_desktop.focus(AXWindow{1, 100});
                m_manager->perform(A::rightHalf);
            }
            m_desktop.add(id, Rect{double(id), 100, 400, 300});
            m_desktop.windows[id].onServerList = id != 66; // moved, but without an id to remember it by
            m_manager->perform(A::leftHalf);
        }
        QCOMPARE(frameOf(66), (Rect{8, 33, 708, 859}));
        // An empty frame: nothing to go back to, a beep.
        const QList<std::pair<std::uint32_t, Rect>> restores{
            {66, {}}, {2, {}}, {3, {3, 100, 400, 300}}, {1, dragged}, {1, {}}};
        int beeps = 0;
        for (const auto &[id, frame] : restores) {
            m_desktop.focus(AXWindow{id, 100});
            m_manager->perform(A::restore);
            beeps += frame == Rect();
            QCOMPARE(m_desktop.beeps, beeps);
            if (frame != Rect())
                QCOMPARE(frameOf(id), frame);
        }
    }

    // Each refusal beeps, logs why (or not), moves nothing and has closed a running gap-filling
    // session; without a window manager it asks for one instead. The row name says what is wrong.
    void refusals_data()
    {
        QTest::addColumn<A>("action");
        QTest::addColumn<QString>("line");
        QTest::newRow("full screen") << A(A::restore) << u"restore: Editor's window is full screen"_s;
        QTest::newRow("dock") << A(A::leftHalf) << u"leftHalf: Editor's window is not a normal or dialog window"_s;
        QTest::newRow("unreadable") << A(A::leftHalf)
                                    << u"error: leftHalf: couldn't read the frame of Editor's window"_s;
        QTest::newRow("nameless") << A(A::center) << u"error: center: couldn't read the frame of pid 100's window"_s;
        QTest::newRow("one display") << A(A::nextDisplay) << u"nextDisplay: there's only one display"_s;
        QTest::newRow("no history") << A(A::restore) << QString();
        QTest::newRow("no focus") << A(A::maximize) << u"error: maximize: no focused window in ?"_s;
        QTest::newRow("own window") << A(A::maximize) << u"error: maximize: no focused window in Editor"_s;
        QTest::newRow("untrusted") << A(A::leftHalf) << u"error: leftHalf: no window manager is running"_s;
    }
    void refusals()
    {
        QFETCH(A, action);
        QFETCH(QString, line);
        const QString situation = QString::fromLatin1(QTest::currentDataTag());
        const AXWindow window = m_desktop.add(1, small);
        m_desktop.windows[1].fullScreen = situation == u"full screen"_s;
        m_desktop.windows[1].kind = situation == u"dock"_s ? Windows::Kind::other : Windows::Kind::standard;
        m_desktop.windows[1].frameReadable = situation != u"unreadable"_s && situation != u"nameless"_s;
        if (situation == u"nameless"_s)
            m_desktop.names.clear();
        m_displays.list.resize(situation == u"one display"_s ? 1 : 3);
        m_desktop.ownPid = situation == u"own window"_s ? 100 : 1;
        if (situation == u"no focus"_s)
            m_desktop.focused.reset();
        const bool untrusted = situation == u"untrusted"_s;
        m_desktop.trusted = !untrusted;
        int asked = 0;
        m_manager->onNeedsAccess = [&] { ++asked; };
        m_filling.running = true;
        if (situation == u"no focus"_s || situation == u"own window"_s || untrusted)
            m_manager->perform(action);
        else // as a dragged window is snapped
            m_manager->perform(action, window, std::nullopt);
        QStringList logged = m_log->events();
        for (const QString &error : m_log->errors())
            logged.append(u"error: "_s + error);
        QCOMPARE(logged.join(u'\n'), line);
        QCOMPARE(m_desktop.beeps, untrusted ? 0 : 1);
        QCOMPARE(asked, int(untrusted));
        QCOMPARE(frameOf(1), small);
        if (!untrusted)
            QCOMPARE(m_filling.closedWith, QStringList{u"cancelled"_s});
    }

    // Reported once, not at every snap.
    void unusableGapsCountAsNone_data()
    {
        QTest::addColumn<double>("gap");
        QTest::addColumn<double>("areaWidth");
        QTest::addColumn<QString>("line");
        const QString bounds = u"it must be from 0 to 100 points"_s;
        QTest::newRow("huge") << 1e300 << 1440.0 << u"1e+300 points is taken as none: "_s + bounds;
        QTest::newRow("negative") << -5.0 << 1440.0 << u"-5 points is taken as none: "_s + bounds;
        QTest::newRow("no room left") << 100.0 << 300.0
                                      << u"100 points is taken as none: it leaves no room for the window"_s;
    }
    void unusableGapsCountAsNone()
    {
        QFETCH(double, gap);
        QFETCH(double, areaWidth);
        QFETCH(QString, line);
        m_prefs.gap = gap;
        m_displays.list[0].visibleFrame.width = areaWidth;
        m_desktop.add(1, small);
        m_manager->perform(A::leftHalf);
        m_manager->perform(A::rightHalf);
        QCOMPARE(frameOf(1), (Rect{areaWidth / 2, 25, areaWidth / 2, 875}));
        QCOMPARE(m_log->events().filter(u"Space between"_s), QStringList{u"Space between windows of "_s + line});
    }

    // The snap line shows the frame before, the target, the frame the window took and the
    // platform's answer; gap filling gets the frame the window took. Only regions have previews.
    void aSnapIsLoggedAndHandedToGapFilling()
    {
        m_desktop.add(1, small);
        m_desktop.windows[1].minimumSize = QSizeF(900, 0);
        m_desktop.setFrameResult = -25201;
        m_prefs.ask = true;
        m_manager->perform(A::rightHalf); // flush with the outer edge of the right half
        QCOMPARE(
            m_log->events(),
            QStringList{
                u"rightHalf Editor: (100, 100, 400, 300) → (724, 33, 708, 859), now (532, 33, 900, 859), AX result -25201"_s});
        m_manager->perform(A::center); // no complement: no session
        m_prefs.ask = false;
        m_manager->perform(A::leftHalf);
        QCOMPARE(m_filling.started,
                 QStringList{u"1 rightHalf (724, 33, 708, 859) (532, 33, 900, 859) (0, 25, 1440, 875) 8"_s});
        QCOMPARE(m_manager->previewFrame(A::center, m_displays.list[0]), std::nullopt);
        QCOMPARE(m_manager->previewFrame(A::maximize, m_displays.list[0]), (Rect{8, 33, 1424, 859}));
    }
};

QTEST_GUILESS_MAIN(WindowManagerTest)
#include "WindowManagerTest.moc"
