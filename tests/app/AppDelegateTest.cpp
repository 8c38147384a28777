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
    // The menu as text: a line per item, "-" for a separator, the shortcut after a tab, [x] or [ ] for a switch.
    QStringList menu()
    {
        QMenu menu;
        delegate->populateMenu(menu);
        QStringList lines;
        for (const QAction *item : menu.actions()) {
            QString line = item->isSeparator() ? u"-"_s : item->text();
            if (!item->shortcut().isEmpty())
                line += u'\t' + item->shortcut().toString();
            if (item->isCheckable())
                line += item->isChecked() ? u" [x]"_s : u" [ ]"_s;
            lines.append(line);
        }
        return lines;
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
        FakeDesktop &desktop = f.desktop;
        FakeHotKeys &keys = f.keys;
        Preferences &prefs = f.prefs;
        LogCapture log;
        AppDelegate &delegate = f.launch();
        QCOMPARE(log.events(),
                 (QStringList{u"Registered 18 shortcuts; failed: "_s,
                              u"Launched /opt/panemaker: accessibility true, screen recording true, drag true"_s}));
        QCOMPARE(keys.live.size(), std::size_t(18));
        prefs.setShortcut(std::nullopt, SnapAction::center);
        QCOMPARE(keys.live.size(), std::size_t(17));
        // No hot key while a shortcut is recorded; what was recorded is live, registered once, as it ends.
        delegate.recording().start(SnapAction::maximize);
        QVERIFY(keys.live.empty());
        QVERIFY(delegate.recording().handleKey(96, 0)); // F5
        QCOMPARE(keys.live.size(), std::size_t(17));
        QVERIFY(std::ranges::any_of(keys.live, [](const auto &entry) {
            return entry.second.first == Shortcut{96, 0};
        }));
        QCOMPARE(log.events().filter(u"Registered 17"_s).size(), 2);

        desktop.add(1, Rect{100, 100, 400, 300});
        prefs.setAskToFillGap(true);
        keys.handler(2); // rightHalf
        QCOMPARE(desktop.windows[1].frame, (Rect{720, 0, 720, 900}));
        QVERIFY(delegate.gapFiller().isSessionRunning());

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
        QCOMPARE(f.menu(), (QStringList{u"Left Half\tCtrl+Alt+Left"_s,
                                        u"Right Half\tCtrl+Alt+Right"_s,
                                        u"Top Half\tCtrl+Alt+Up"_s,
                                        u"Bottom Half\tCtrl+Alt+Down"_s,
                                        u"-"_s,
                                        u"Top Left\tCtrl+Alt+U"_s,
                                        u"Top Right\tShift+F3"_s,
                                        u"Bottom Left\tCtrl+Alt+J"_s,
                                        u"Bottom Right"_s,
                                        u"-"_s,
                                        u"Left Third\tCtrl+Alt+D"_s,
                                        u"Center Third\tCtrl+Alt+F"_s,
                                        u"Right Third\tCtrl+Alt+G"_s,
                                        u"Left Two Thirds\tCtrl+Alt+E"_s,
                                        u"Right Two Thirds\tCtrl+Alt+T"_s,
                                        u"-"_s,
                                        u"Maximize\tCtrl+Alt+Return"_s,
                                        u"Center"_s,
                                        u"Restore\tCtrl+Alt+Backspace"_s,
                                        u"-"_s,
                                        u"Previous Display\tMeta+Ctrl+Alt+Left"_s,
                                        u"Next Display\tMeta+Ctrl+Alt+Right"_s,
                                        u"-"_s,
                                        u"Ask Which Window Fills the Gap [x]"_s,
                                        u"Snap by Dragging to Edges [ ]"_s,
                                        u"-"_s,
                                        u"Settings…\tCtrl+,"_s,
                                        u"Quit Panemaker\tCtrl+Q"_s}));
    }

    // Each conflict leads the menu with a warning and a separator, in a fixed order.
    void warningsLeadTheMenu_data()
    {
        QTest::addColumn<bool>("windowManager");
        QTest::addColumn<bool>("dragToSnap");
        QTest::addColumn<EdgeTilingState>("tiling");
        QTest::addColumn<QStringList>("running");
        QTest::addColumn<bool>("leftHalfHeld");
        QTest::addColumn<QStringList>("warnings"); // title, then tooltip

        const QString tiling = u"Turn Off Window Manager Edge Tiling…|The window manager's own tiling, when a window "
                               "is dragged to a screen edge, fights with Panemaker's drag snapping."_s;
        const auto row = [](const char *name) { return &QTest::newRow(name); };
        *row("none") << true << true << EdgeTilingState::off << QStringList() << false << QStringList();
        *row("no window manager") << false << true << EdgeTilingState::off << QStringList() << false
                                  << QStringList{u"No Window Manager Found…|No Window Manager Found…"_s};
        *row("edge tiling on") << true << true << EdgeTilingState::on << QStringList() << false << QStringList{tiling};
        *row("edge tiling on, drag snapping off")
            << true << false << EdgeTilingState::on << QStringList() << false << QStringList();
        *row("edge tiling unknown") << true << true << EdgeTilingState::unknown << QStringList() << false
                                    << QStringList();
        *row("one other snapper") << true << true << EdgeTilingState::off << QStringList{u"quicktile"_s} << false
                                  << QStringList{u"Quit QuickTile|QuickTile snaps windows too and will fight with "
                                                 "Panemaker."_s};
        *row("two other snappers, and the rest")
            << true << true << EdgeTilingState::on << QStringList{u"quicktile"_s, u"xpytile"_s} << true
            << QStringList{tiling,
                           u"Quit QuickTile and xpytile|QuickTile and xpytile snap windows too and will fight with "
                           "Panemaker."_s,
                           u"Shortcuts in Use by Another Program…|Left Half and Next Display: another program holds "
                           "the shortcut. Choose another in Settings."_s};
    }
    void warningsLeadTheMenu()
    {
        QFETCH(bool, windowManager);
        QFETCH(bool, dragToSnap);
        QFETCH(EdgeTilingState, tiling);
        QFETCH(QStringList, running);
        QFETCH(bool, leftHalfHeld);
        QFETCH(QStringList, warnings);
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
        QMenu menu;
        f.delegate->populateMenu(menu);
        QStringList shown;
        const QList<QAction *> items = menu.actions();
        for (qsizetype i = 0; items[i]->text() != u"Left Half"_s; i += 2) {
            shown.append(items[i]->text() + u'|' + items[i]->toolTip());
            QVERIFY(items[i + 1]->isSeparator());
        }
        QCOMPARE(shown, warnings);
    }

    void menuItemsDoWhatTheySay()
    {
        Fixture f;
        f.desktop.processes = {{41, u"quicktile"_s}, {42, u"bash"_s}};
        f.launch();
        f.desktop.add(1, Rect{100, 100, 400, 300});
        QMenu menu;
        f.delegate->populateMenu(menu);
        const auto choose = [&](const QString &title) {
            for (QAction *item : menu.actions())
                if (item->text() == title)
                    return item->trigger();
            QFAIL(qPrintable(title));
        };
        choose(u"Left Half"_s);
        QTRY_COMPARE(f.desktop.windows[1].frame, (Rect{0, 0, 720, 900}));
        choose(u"Ask Which Window Fills the Gap"_s);
        choose(u"Snap by Dragging to Edges"_s);
        QVERIFY(!f.prefs.askToFillGap());
        QVERIFY(!f.prefs.dragToSnap());
        choose(u"Quit QuickTile"_s);
        QCOMPARE(f.desktop.processes, (QList<RunningProcess>{{42, u"bash"_s}}));
        QVERIFY(!f.delegate->settingsWindow());
        choose(u"Settings…"_s);
        QVERIFY(f.delegate->settingsWindow()->isVisible());
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
