// AppDelegate's wiring over fakes: shortcuts follow the settings and step aside while one is
// recorded, presses snap and fill gaps, display changes are noticed once and end a gap-filling session.
#include "app/AppDelegate.h"
#include "fake/FakeClickMonitor.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeHotKeys.h"
#include "fake/FakeKeyboardLayout.h"
#include "fake/FakeMouseMonitor.h"
#include "fake/FakeStageManager.h"
#include "fake/FakeThumbnails.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(panemaker::EdgeTilingState)

namespace {

// The program over fakes: one display, a US keyboard, no window manager's own tiling.
struct Fixture {
    QTemporaryDir dir;
    Preferences prefs{dir.filePath(u"panemaker.conf"_s)};
    FakeDisplays displays;
    FakeStageManager stage;
    UsableArea usable{displays, stage};
    FakeDesktop desktop;
    FakeHotKeys keys;
    FakeThumbnails thumbnails;
    FakeClickMonitor clicks;
    FakeMouseMonitor mouse;
    FakeKeyboardLayout layout = FakeKeyboardLayout::us();
    std::unique_ptr<AppDelegate> delegate;
    QMenu menu;

    Fixture() { displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900}); }
    AppDelegate &launch()
    {
        delegate = std::make_unique<AppDelegate>(prefs,
                                                 AppDelegate::Platform{desktop, displays, usable, desktop, desktop,
                                                                       keys, stage, thumbnails, clicks, mouse, desktop,
                                                                       desktop, layout},
                                                 u"/opt/panemaker"_s, u"/opt/panemaker/bin/panemaker"_s);
        delegate->applicationDidFinishLaunching();
        return *delegate;
    }
    // The menu as text: an item per line, "-" for a separator, then after a tab its shortcut, its
    // tooltip where that is not its title, and [x] or [ ] for a switch.
    QString lines()
    {
        delegate->populateMenu(menu);
        QStringList lines;
        for (const QAction *item : menu.actions()) {
            QString line = item->isSeparator() ? u"-"_s : item->text();
            if (!item->shortcut().isEmpty())
                line += u'\t' + item->shortcut().toString();
            if (item->toolTip() != item->text() && !item->isSeparator())
                line += u'\t' + item->toolTip();
            if (item->isCheckable())
                line += item->isChecked() ? u" [x]"_s : u" [ ]"_s;
            lines.append(line);
        }
        return lines.join(u'\n');
    }
    void choose(const QString &title)
    {
        for (QAction *item : menu.actions())
            if (item->text() == title)
                return item->trigger();
        QFAIL(qPrintable(title));
    }
};

} // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void launchWiresTheProgramTogether()
    {
        Fixture f;
        f.prefs.setAskToFillGap(false);
        LogCapture log;
        AppDelegate &delegate = f.launch();
        QCOMPARE(log.events(),
                 (QStringList{u"Registered 18 shortcuts; failed: "_s,
                              u"Launched /opt/panemaker: accessibility true, screen recording true, drag true"_s}));
        f.prefs.setShortcut(std::nullopt, SnapAction::center);
        QCOMPARE(f.keys.live.size(), std::size_t(17));
        // No hot key while a shortcut is recorded; what was recorded is live, registered once, as it ends.
        delegate.recording().start(SnapAction::maximize);
        QVERIFY(f.keys.live.empty());
        QVERIFY(delegate.recording().handleKey(96, 0)); // F5
        QVERIFY(std::ranges::any_of(f.keys.live, [](const auto &entry) {
            return entry.second.first == Shortcut{96, 0};
        }));
        QCOMPARE(log.events().filter(u"Registered 17"_s).size(), 2);

        f.desktop.add(1, Rect{100, 100, 400, 300});
        f.prefs.setAskToFillGap(true);
        f.keys.handler(2); // rightHalf
        QCOMPARE(f.desktop.windows[1].frame, (Rect{720, 0, 720, 900}));
        Q_EMIT f.displays.changed(); // the same frames
        QVERIFY(delegate.gapFiller().isSessionRunning());
        f.displays.add(u"RIGHT"_s, Rect{1440, 0, 1920, 1080});
        Q_EMIT f.displays.changed();
        Q_EMIT f.displays.changed();
        QCOMPARE(log.events().filter(u"Displays changed"_s), QStringList{u"Displays changed: 2 now"_s});
        QCOMPARE(log.events().filter(u"Gap picker closed"_s),
                 QStringList{u"Gap picker closed: cancelled (0 previews)"_s});
    }

    // An action without a shortcut, or whose key types nothing in the layout, shows none.
    void theMenuListsEveryActionWithItsShortcut()
    {
        Fixture f;
        f.launch();
        f.prefs.setShortcut(std::nullopt, SnapAction::center);
        f.prefs.setShortcut(Shortcut{50, 0x1000}, SnapAction::bottomRight);
        f.prefs.setShortcut(Shortcut{99, 0x0200}, SnapAction::topRight); // Shift+F3
        f.prefs.setDragToSnap(false);
        QCOMPARE(f.lines(), u"Left Half\tCtrl+Alt+Left\nRight Half\tCtrl+Alt+Right\nTop Half\tCtrl+Alt+Up\n"
                            "Bottom Half\tCtrl+Alt+Down\n-\nTop Left\tCtrl+Alt+U\nTop Right\tShift+F3\n"
                            "Bottom Left\tCtrl+Alt+J\nBottom Right\n-\nLeft Third\tCtrl+Alt+D\n"
                            "Center Third\tCtrl+Alt+F\nRight Third\tCtrl+Alt+G\nLeft Two Thirds\tCtrl+Alt+E\n"
                            "Right Two Thirds\tCtrl+Alt+T\n-\nMaximize\tCtrl+Alt+Return\nCenter\n"
                            "Restore\tCtrl+Alt+Backspace\n-\nPrevious Display\tMeta+Ctrl+Alt+Left\n"
                            "Next Display\tMeta+Ctrl+Alt+Right\n-\nAsk Which Window Fills the Gap [x]\n"
                            "Snap by Dragging to Edges [ ]\n-\nSettings…\tCtrl+,\nQuit Panemaker\tCtrl+Q"_s);
    }

    // Each conflict leads the menu with a warning, its tooltip after a tab, and a separator.
    void warningsLeadTheMenu_data()
    {
        QTest::addColumn<bool>("windowManager");
        QTest::addColumn<bool>("dragToSnap");
        QTest::addColumn<EdgeTilingState>("tiling");
        QTest::addColumn<QStringList>("running");
        QTest::addColumn<bool>("leftHalfHeld");
        QTest::addColumn<QString>("warnings");
        const QString tiling = u"Turn Off Window Manager Edge Tiling…\tThe window manager's own tiling, when a window "
                               "is dragged to a screen edge, fights with Panemaker's drag snapping.\n-\n"_s;
        using enum EdgeTilingState;
        QTest::newRow("no window manager")
            << false << true << off << QStringList() << false << u"No Window Manager Found…\n-\n"_s;
        QTest::newRow("edge tiling on") << true << true << on << QStringList() << false << tiling;
        QTest::newRow("edge tiling on, drag snapping off")
            << true << false << on << QStringList() << false << QString();
        QTest::newRow("edge tiling unknown") << true << true << unknown << QStringList() << false << QString();
        QTest::newRow("one other snapper")
            << true << true << off << QStringList{u"quicktile"_s} << false
            << u"Quit QuickTile\tQuickTile snaps windows too and will fight with Panemaker.\n-\n"_s;
        QTest::newRow("two other snappers, and the rest")
            << true << true << on << QStringList{u"quicktile"_s, u"xpytile"_s} << true
            << tiling
                   + u"Quit QuickTile and xpytile\tQuickTile and xpytile snap windows too and will fight with "
                     "Panemaker.\n-\nShortcuts in Use by Another Program…\tLeft Half and Next Display: another "
                     "program holds the shortcut. Choose another in Settings.\n-\n"_s;
    }
    void warningsLeadTheMenu()
    {
        QFETCH(bool, windowManager);
        QFETCH(bool, dragToSnap);
        QFETCH(EdgeTilingState, tiling);
        QFETCH(QStringList, running);
        QFETCH(bool, leftHalfHeld);
        QFETCH(QString, warnings);
        Fixture f;
        f.desktop.trusted = windowManager;
        f.desktop.edgeTilingByWindowManager[f.desktop.windowManager] = tiling;
        for (const QString &name : running)
            f.desktop.processes.append(RunningProcess{std::int32_t(500 + f.desktop.processes.size()), name});
        if (leftHalfHeld)
            f.keys.taken = {{123, 0x1800}, {124, 0x1900}};
        f.prefs.setDragToSnap(dragToSnap);
        f.launch();
        QTRY_COMPARE(f.delegate->refusedActions().size(), leftHalfHeld ? 2 : 0); // and the tiling state is read
        QTest::qWait(50);
        const QString menu = f.lines();
        QCOMPARE(menu.left(menu.indexOf(u"Left Half\t"_s)), warnings);
    }

    void menuItemsDoWhatTheySay()
    {
        Fixture f;
        f.desktop.processes = {{41, u"quicktile"_s}, {42, u"bash"_s}};
        f.launch();
        f.desktop.add(1, Rect{100, 100, 400, 300});
        f.lines();
        f.choose(u"Left Half"_s);
        QTRY_COMPARE(f.desktop.windows[1].frame, (Rect{0, 0, 720, 900}));
        f.choose(u"Ask Which Window Fills the Gap"_s);
        f.choose(u"Snap by Dragging to Edges"_s);
        QVERIFY(!f.prefs.askToFillGap() && !f.prefs.dragToSnap());
        f.choose(u"Quit QuickTile"_s);
        QCOMPARE(f.desktop.processes, (QList<RunningProcess>{{42, u"bash"_s}}));
        QVERIFY(!f.delegate->settingsWindow());
        f.choose(u"Settings…"_s);
        QVERIFY(f.delegate->settingsWindow()->isVisible());
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
