// AppDelegate's wiring over fakes: shortcuts follow the settings and step aside while one is
// recorded, presses snap and fill gaps, display changes are noticed once and end a gap-filling session,
// and an update the site offers is in the menu and on the tray icon.
#include "app/AppDelegate.h"
#include "fake/FakeClickMonitor.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeHotKeys.h"
#include "fake/FakeKeyboardLayout.h"
#include "fake/FakeMouseMonitor.h"
#include "fake/FakeStageManager.h"
#include "fake/FakeThumbnails.h"
#include "support/HttpsServer.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace panemaker::test;
using namespace Qt::StringLiterals;

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
    QString bundle = u"/opt/panemaker"_s;
    QList<QUrl> opened;

    Fixture() { displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900}); }
    AppDelegate &launch()
    {
        delegate = std::make_unique<AppDelegate>(prefs,
                                                 AppDelegate::Platform{desktop, displays, usable, desktop, desktop,
                                                                       keys, stage, thumbnails, clicks, mouse, desktop,
                                                                       desktop, layout},
                                                 bundle, bundle + u"/bin/panemaker"_s);
        delegate->updater().openSite = [this](const QUrl &url) { opened.append(url); };
        delegate->applicationDidFinishLaunching();
        return *delegate;
    }
    // Build 1, whose update site is `site`.
    void updatedFrom(const HttpsServer &site)
    {
        bundle = dir.filePath(u"bundle"_s);
        QFile info(bundle + u"/share/panemaker/info.json"_s);
        QVERIFY(QDir().mkpath(bundle + u"/share/panemaker"_s) && info.open(QIODevice::WriteOnly));
        info.write("{\"build\":\"1\",\"site\":\"127.0.0.1:" + QByteArray::number(site.port()) + "\"}");
    }
    // Whether the tray shows the orange dot of an offered update in the corner.
    bool badged() const
    {
        return delegate->findChild<QSystemTrayIcon *>()->icon().pixmap(32).toImage().pixelColor(5, 5)
               == QColor(255, 149, 0);
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
            if (!item->isEnabled())
                line += u" (disabled)"_s;
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

    QTemporaryDir m_certificates;
    std::unique_ptr<HttpsServer> m_site;

    // The update site's manifest names a release of this build, and the updater has read it.
    void check(Fixture &f, int build)
    {
        m_site->serve(u"/version.json"_s, {200, manifest(build, m_site->url(u"/Panemaker.tar.gz"_s))});
        f.delegate->updater().checkNow();
        QTRY_VERIFY(f.delegate->updater().status().kind != Updater::Status::Kind::checking);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QString error;
        m_site = HttpsServer::startTrusted(m_certificates.path(), &error);
        QVERIFY2(m_site, qPrintable(error));
    }

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

    // Turning automatic checks on checks at once, unless a check was made in the last 20 hours.
    void turningAutomaticChecksOnChecksWhenDue()
    {
        Fixture f;
        f.updatedFrom(*m_site);
        f.prefs.setCheckForUpdates(false);
        Updater &updater = f.launch().updater();
        m_site->serve(u"/version.json"_s, {200, manifest(1, m_site->url(u"/Panemaker.tar.gz"_s))});
        f.prefs.setCheckForUpdates(true);
        QTRY_COMPARE(int(updater.status().kind), int(Updater::Status::Kind::upToDate));
        f.prefs.setCheckForUpdates(false);
        f.prefs.setCheckForUpdates(true);
        QCOMPARE(int(updater.status().kind), int(Updater::Status::Kind::upToDate));
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

    // Each conflict, and an offered update, leads the menu with a warning, its tooltip after a tab, and a
    // separator. A row's name lists what goes on: "no window manager", "no drag snapping", "tiling on" or
    // "tiling unknown" (else off), the other tools running, "held" (Left Half and Next Display's shortcuts),
    // and the builds the update site names, one check each, then "install" started.
    void warningsLeadTheMenu_data()
    {
        QTest::addColumn<QString>("warnings");
        const QString tiling = u"Turn Off Window Manager Edge Tiling…\tThe window manager's own tiling, when a window "
                               "is dragged to a screen edge, fights with Panemaker's drag snapping.\n-\n"_s;
        const QString quicktile = u"Quit QuickTile\tQuickTile snaps windows too and will fight with Panemaker.\n-\n"_s;
        const QString update = u"\tInstalls the new version and reopens Panemaker. Your settings and permissions "
                               "stay."_s;
        QTest::newRow("no window manager") << u"No Window Manager Found…\n-\n"_s;
        QTest::newRow("tiling on") << tiling;
        QTest::newRow("tiling on, no drag snapping") << QString();
        QTest::newRow("tiling unknown") << QString();
        QTest::newRow("quicktile") << quicktile;
        QTest::newRow("tiling on, quicktile, xpytile, held")
            << tiling
                   + u"Quit QuickTile and xpytile\tQuickTile and xpytile snap windows too and will fight with "
                     "Panemaker.\n-\nShortcuts in Use by Another Program…\tLeft Half and Next Display: another "
                     "program holds the shortcut. Choose another in Settings.\n-\n"_s;
        QTest::newRow("no window manager, quicktile, build 2")
            << u"No Window Manager Found…\n-\nUpdate to Panemaker 0.2.0"_s + update + u"\n-\n"_s + quicktile;
        QTest::newRow("tiling on, build 2, install")
            << u"Installing Update…"_s + update + u" (disabled)\n-\n"_s + tiling;
        QTest::newRow("build 2, build 1") << QString();
    }
    void warningsLeadTheMenu()
    {
        QFETCH(QString, warnings);
        const QStringList given = QString::fromLatin1(QTest::currentDataTag()).split(u", "_s);
        const QStringList builds = given.filter(u"build "_s);
        Fixture f;
        if (!builds.isEmpty())
            f.updatedFrom(*m_site);
        f.desktop.trusted = !given.contains(u"no window manager"_s);
        using enum EdgeTilingState;
        f.desktop.edgeTilingByWindowManager[f.desktop.windowManager] = given.contains(u"tiling on"_s)        ? on
                                                                       : given.contains(u"tiling unknown"_s) ? unknown
                                                                                                             : off;
        for (const QString &name : given.filter(u"tile"_s))
            f.desktop.processes.append(RunningProcess{std::int32_t(500 + f.desktop.processes.size()), name});
        if (given.contains(u"held"_s))
            f.keys.taken = {{123, 0x1800}, {124, 0x1900}};
        f.prefs.setDragToSnap(!given.contains(u"no drag snapping"_s));
        f.launch();
        // The tiling state is read by then too.
        QTRY_COMPARE(f.delegate->refusedActions().size(), given.contains(u"held"_s) ? 2 : 0);
        QTest::qWait(50);
        for (const QString &build : builds)
            check(f, build.mid(6).toInt());
        if (given.contains(u"install"_s))
            f.delegate->updater().install(); // the menu is read before the download is answered
        const QString menu = f.lines();
        QCOMPARE(menu.left(menu.indexOf(u"Left Half\t"_s)), warnings);
        QCOMPARE(f.badged(), warnings.contains(u"Update"_s));
        QVERIFY(QGuiApplication::windowIcon().pixmap(32).toImage().pixelColor(5, 5) != QColor(255, 149, 0));
    }

    void menuItemsDoWhatTheySay()
    {
        Fixture f;
        f.desktop.processes = {{41, u"quicktile"_s}, {42, u"bash"_s}};
        f.updatedFrom(*m_site);
        f.launch();
        check(f, 2);
        const int downloads = m_site->requests(u"/Panemaker.tar.gz"_s);
        f.lines();
        f.choose(u"Update to Panemaker 0.2.0"_s);
        QTRY_COMPARE(m_site->requests(u"/Panemaker.tar.gz"_s), downloads + 1);
        // Not found there: the update site opens instead.
        QTRY_COMPARE(f.opened, QList{m_site->url(u"/"_s)});
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
