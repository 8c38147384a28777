// The settings page over fakes: sections that follow the live objects, the gap slider, shortcut
// recording through key presses as the window system delivers them, the autostart entry and the updates.
#include "app/SettingsWindow.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeKeyboardLayout.h"
#include "support/HttpsServer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace panemaker::test;
using namespace Qt::StringLiterals;

namespace {

// The whole program's side of the page, with the page in its window; the desktop also stands
// for the processes and the window manager's settings.
struct Page {
    // Build 1, with updates from `site` when one is named.
    explicit Page(QList<OtherSnapper> snappers = {}, const QString &site = {})
        : updater(prefs, Bundle(dir.path(), {{u"build"_s, u"1"_s}, {u"site"_s, site}}), {})
    {
        layout.keys[12] = u"q"_s;
        layout.keys[13] = u"w"_s;
        view = new SettingsView({prefs, access, recorder, conflicts, launch, layout, desktop, updater},
                                std::move(snappers));
        view->onQuit = [this] { ++quits; };
        updater.relaunch = [this](const QString &) { ++quits; };
        updater.openSite = [this](const QUrl &url) { opened.append(url); };
        window = std::make_unique<SettingsWindow>(view);
        QObject::connect(window.get(), &SettingsWindow::closed, [this] { ++closes; });
    }

    // By object name, accessible name or button text.
    template <typename T = QAbstractButton> T *find(const QString &name) const
    {
        for (T *w : view->findChildren<T *>()) {
            const auto *button = qobject_cast<QAbstractButton *>(w);
            if (w->objectName() == name || w->accessibleName() == name || (button && button->text() == name))
                return w;
        }
        return nullptr;
    }
    bool shown(const QString &name) const { return find<QWidget>(name)->isVisibleTo(view); }

    // The texts of the labels and buttons shown, from the one after `from` up to `to`.
    QStringList shownTexts(const QString &from, const QString &to) const
    {
        QStringList texts;
        for (QWidget *w : view->findChildren<QWidget *>()) {
            const auto *label = qobject_cast<QLabel *>(w);
            const auto *button = qobject_cast<QAbstractButton *>(w);
            const QString text = label ? label->text() : button ? button->text() : QString();
            if (!text.isEmpty() && w->isVisibleTo(view))
                texts.append(text);
        }
        const qsizetype start = texts.indexOf(from) + 1;
        return texts.mid(start, texts.indexOf(to) - start);
    }

    // A key press as it comes from the window system: offered to the window's shortcuts first,
    // then pressed and released on the focused widget with its native code (virtual code + 1000 here).
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers, std::uint32_t virtualKey)
    {
        QWidget *target = window->focusWidget() ? window->focusWidget() : window.get();
        if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers))
            return;
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, modifiers, virtualKey + 1000, 0, 0);
            QApplication::sendEvent(target, &event);
        }
    }

    QTemporaryDir dir;
    FakeDesktop desktop;
    FakeKeyboardLayout layout = FakeKeyboardLayout::us();
    Preferences prefs{dir.filePath(u"panemaker.conf"_s)};
    AccessibilityMonitor access{desktop};
    ShortcutRecording recorder{prefs, desktop};
    ConflictDetection conflicts{desktop, desktop, desktop};
    LaunchAtLogin launch{u"/opt/Pane% $maker/panemaker"_s};
    Updater updater;
    SettingsView *view = nullptr;
    std::unique_ptr<SettingsWindow> window;
    int quits = 0, closes = 0;
    QList<QUrl> opened;
};

void save(QWidget *widget, const QString &name)
{
    QDir().mkpath(QStringLiteral(PANEMAKER_SCREENSHOTS));
    QVERIFY(widget->grab().save(QStringLiteral(PANEMAKER_SCREENSHOTS "/") + name + u".png"_s));
}

const QString dragCaption = u"Sides for halves, corners for quarters, top to maximize, bottom for thirds."_s;
const QString gapTitle = u"Space between windows"_s;
const QString tilingButton = u"Window Manager Settings…"_s;
const QString autoCheck = u"Check for updates automatically"_s;
const QString autoCheckCaption = u"About once a day. Updates install only when you choose."_s;

// The update site's answer: a manifest that names this build, or a failure when `build` is 500.
HttpsServer::Response manifest(const HttpsServer &site, int build)
{
    return HttpsServer::Response(build == 500 ? 500 : 200, test::manifest(build, site.url(u"/Panemaker.tar.gz"_s)));
}

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_config, m_certificates;
    std::unique_ptr<HttpsServer> m_site;

    QString entryPath() const { return m_config.filePath(u"autostart/panemaker.desktop"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QCoreApplication::setApplicationVersion(u"1.4.0"_s);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QString error;
        m_site = HttpsServer::startTrusted(m_certificates.path(), &error);
        QVERIFY2(m_site, qPrintable(error));
    }

    void accessSectionFollowsTheMonitor()
    {
        Page page;
        page.view->resize(page.view->sizeHint());
        save(page.view, u"settings"_s);
        const QString tagline = u"Snap a window, then choose what fills the gap."_s;
        QCOMPARE(page.shownTexts(tagline, u"Snapping"_s), QStringList{u"1.4.0"_s});
        page.desktop.trusted = false;
        page.access.refresh();
        QCOMPARE(page.shownTexts(tagline, u"Snapping"_s).mid(1, 1), QStringList{u"No window manager found"_s});
        page.desktop.trusted = true;
        page.find(u"Check Again"_s)->click();
        QCOMPARE(page.shownTexts(tagline, u"Snapping"_s), QStringList{u"1.4.0"_s});
    }

    void conflictRows_data()
    {
        QTest::addColumn<bool>("drag");
        QTest::addColumn<EdgeTilingState>("tiling");
        QTest::addColumn<QStringList>("snappers");
        QTest::addColumn<QStringList>("shown");
        const QString fight = u"The window manager's own tiling is also on and will fight with Panemaker."_s;
        const QString running = u" also running and will fight with Panemaker."_s;
        using enum EdgeTilingState;
        QTest::newRow("drag off hides both") << false << on << QStringList{u"A"_s} << QStringList{};
        QTest::newRow("tiling on") << true << on << QStringList{} << QStringList{fight, tilingButton};
        QTest::newRow("tiling unknown, one other")
            << true << unknown << QStringList{u"A"_s}
            << QStringList{u"Turn off your window manager's own edge tiling so it doesn't fight with Panemaker."_s,
                           tilingButton, u"A is"_s + running, u"Quit A"_s};
        QTest::newRow("two others") << true << off << QStringList{u"A"_s, u"B"_s}
                                    << QStringList{u"A and B are"_s + running, u"Quit Them"_s};
        QTest::newRow("three others, tiling on")
            << true << on << QStringList{u"A"_s, u"B"_s, u"C"_s}
            << QStringList{fight, tilingButton, u"A, B and C are"_s + running, u"Quit Them"_s};
    }

    // Built with drag snapping on and one other tool running; the list, the tiling state and the
    // switch then change while the page is open, and its buttons are clicked.
    void conflictRows()
    {
        QFETCH(bool, drag);
        QFETCH(EdgeTilingState, tiling);
        QFETCH(QStringList, snappers);
        QFETCH(QStringList, shown);
        Page page({{7, u"Delta"_s}});
        QCOMPARE(page.shownTexts(dragCaption, gapTitle),
                 (QStringList{u"Delta is also running and will fight with Panemaker."_s, u"Quit Delta"_s}));
        page.prefs.setDragToSnap(false);
        // Shown by names of their own; running as tools that are known, which are what is asked to quit.
        const QStringList tools{u"quicktile"_s, u"x-tile"_s, u"zentile"_s};
        QList<OtherSnapper> running;
        for (const QString &name : snappers) {
            page.desktop.processes.append({std::int32_t(100 + running.size()), tools[running.size()]});
            running.append({page.desktop.processes.last().pid, name});
        }
        Q_EMIT page.conflicts.otherSnappersChanged(running);
        Q_EMIT page.conflicts.edgeTilingStateChanged(tiling);
        page.prefs.setDragToSnap(drag);
        QCOMPARE(page.shownTexts(dragCaption, gapTitle), shown);

        for (const QString &text : shown)
            if (text.startsWith(u"Quit"_s) || text == tilingButton)
                page.find(text)->click();
        QCOMPARE(page.desktop.tilingSettingsOpened,
                 shown.contains(tilingButton) ? QStringList{u"Openbox"_s} : QStringList{});
        QCOMPARE(page.desktop.processes.size(),
                 shown.isEmpty() || !shown.last().startsWith(u"Quit"_s) ? snappers.size() : 0);
        if (QByteArray(QTest::currentDataTag()) == "three others, tiling on") {
            page.desktop.trusted = false;
            page.access.refresh();
            page.view->setRefusedActions({SnapAction::topHalf, SnapAction::center});
            page.view->resize(page.view->sizeHint());
            save(page.view, u"settings-conflicts"_s);
        }
    }

    // Each key moves one step of 2 pt; a gap set elsewhere moves the slider.
    void gapSliderYieldsEvenValues()
    {
        Page page;
        auto *slider = page.view->findChild<QSlider *>();
        const std::pair<Qt::Key, double> steps[] = {
            {Qt::Key_PageUp, 2}, {Qt::Key_Right, 4}, {Qt::Key_End, 24}, {Qt::Key_Left, 22}, {Qt::Key_Home, 0}};
        for (const auto &[key, gap] : steps) {
            QTest::keyClick(slider, key);
            QCOMPARE(page.prefs.windowGap(), gap);
            QCOMPARE(page.shownTexts(gapTitle, u"General"_s), QStringList{QString::number(gap) + u" pt"_s});
        }
        page.prefs.setWindowGap(10);
        QCOMPARE(page.shownTexts(gapTitle, u"General"_s), QStringList{u"10 pt"_s});
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(page.prefs.windowGap(), 12.0);
    }

    void recordingTakesTheWindowsKeys_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<std::uint32_t>("virtualKey");
        QTest::addColumn<QString>("field"); // afterwards; "" when the action has no shortcut
        const auto row = [](const char *name, SnapAction::Value action, Qt::Key key, Qt::KeyboardModifiers modifiers,
                            std::uint32_t virtualKey, const QString &field) {
            QTest::newRow(name) << SnapAction(action) << key << modifiers << virtualKey << field;
        };
        const Qt::KeyboardModifiers none{}, control = Qt::ControlModifier;
        row("control option left", SnapAction::topHalf, Qt::Key_Left, control | Qt::AltModifier, 123, u"⌃⌥←"_s);
        row("control W records instead of closing", SnapAction::maximize, Qt::Key_W, control, 13, u"⌃W"_s);
        row("control Q records instead of quitting", SnapAction::center, Qt::Key_Q, control, 12, u"⌃Q"_s);
        row("super shift F5", SnapAction::nextDisplay, Qt::Key_F5, Qt::MetaModifier | Qt::ShiftModifier, 96, u"⇧⌘F5"_s);
        row("escape keeps", SnapAction::topLeft, Qt::Key_Escape, none, 53, u"⌃⌥U"_s);
        row("delete clears", SnapAction::restore, Qt::Key_Backspace, none, 51, QString());
        row("control alone waits for the key", SnapAction::leftHalf, Qt::Key_Control, control, 59, u"Type shortcut…"_s);
        row("space beeps and goes on, not clicking the field", SnapAction::rightHalf, Qt::Key_Space, none, 49,
            u"Type shortcut…"_s);
    }

    void recordingTakesTheWindowsKeys()
    {
        QFETCH(SnapAction, action);
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(std::uint32_t, virtualKey);
        QFETCH(QString, field);
        const bool recording = field == u"Type shortcut…"_s;
        Page page;
        page.window->show();
        QVERIFY(QTest::qWaitForWindowActive(page.window.get()));
        QAbstractButton *button = page.find(action.rawValue());
        const auto colour = [&](QPalette::ColorRole role) {
            return button->palette().color(QPalette::ButtonText) == page.view->palette().color(role);
        };
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), u"Type shortcut…"_s);
        QVERIFY(colour(QPalette::Highlight));
        QVERIFY(!page.shown(action.rawValue() + u"-clear"_s));
        if (QByteArray(QTest::currentDataTag()) == "control W records instead of closing")
            save(page.view, u"settings-recording"_s);

        page.press(key, modifiers, virtualKey);
        QCOMPARE(page.recorder.action().has_value(), recording);
        QCOMPARE(page.desktop.beeps, recording && key != Qt::Key_Control ? 1 : 0);
        QCOMPARE(button->text(), field.isEmpty() ? u"Record Shortcut"_s : field);
        QVERIFY(colour(recording         ? QPalette::Highlight
                       : field.isEmpty() ? QPalette::PlaceholderText
                                         : QPalette::ButtonText));
        QCOMPARE(page.shown(action.rawValue() + u"-clear"_s), !recording && !field.isEmpty());
        QCOMPARE(page.closes + page.quits, 0);
        if (recording)
            return;
        // Once the recording is over, the window's own keys work again.
        page.press(Qt::Key_W, Qt::ControlModifier, 13);
        QCOMPARE(page.closes, 1);
        QVERIFY(!page.window->isVisible());
    }

    void switchesAndFields()
    {
        Page page;
        QCheckBox *ask = page.find<QCheckBox>(u"Ask which window fills the gap"_s);
        QCheckBox *previews = page.find<QCheckBox>(u"Show window previews"_s);
        ask->click();
        QVERIFY(!page.prefs.askToFillGap());
        QVERIFY(!previews->isEnabled());
        page.prefs.setAskToFillGap(true);
        QVERIFY(ask->isChecked() && previews->isEnabled());
        previews->click();
        QVERIFY(!page.prefs.showPreviews());
        QAbstractButton *center = page.find(u"center"_s);
        page.find(u"center-clear"_s)->click();
        QVERIFY(!page.prefs.shortcuts().contains(SnapAction::center));
        QCOMPARE(center->text(), u"Record Shortcut"_s);
        QVERIFY(!page.shown(u"center-clear"_s));

        QVERIFY(!page.shown(u"topHalf-refused"_s));
        page.view->setRefusedActions({SnapAction::topHalf});
        QVERIFY(page.shown(u"topHalf-refused"_s) && !page.shown(u"leftHalf-refused"_s));
        page.view->setRefusedActions({});
        QVERIFY(!page.shown(u"topHalf-refused"_s));

        // Clicking the field being recorded again stops; Restore Defaults stops first.
        center->click();
        center->click();
        QVERIFY(!page.recorder.action());
        center->click();
        page.find(u"Restore Defaults"_s)->click();
        QVERIFY(!page.recorder.action());
        QCOMPARE(center->text(), u"⌃⌥C"_s);
    }

    void windowKeysAndMinimise()
    {
        Page page;
        QCOMPARE(page.window->windowTitle(), u"Panemaker Settings"_s);
        QCOMPARE(page.window->minimumSize(), QSize(500, 660));
        QCOMPARE(page.window->maximumSize(), QSize(500, 660));
        page.window->show();
        QVERIFY(QTest::qWaitForWindowActive(page.window.get()));
        save(page.window.get(), u"settings-window"_s);
        page.press(Qt::Key_Q, Qt::ControlModifier, 12);
        page.find(u"Quit Panemaker"_s)->click();
        QCOMPARE(page.quits, 2);
        page.press(Qt::Key_M, Qt::ControlModifier, 46);
        QCOMPARE(page.closes, 1);
        page.window->show();
        page.window->setWindowState(Qt::WindowMinimized);
        QTRY_COMPARE(page.closes, 2);
        QVERIFY(!page.window->isVisible());
    }

    // Before the window opens the site is asked, or the last check was some minutes ago; then the
    // button is clicked when the row names what it must fetch.
    void updateRow_data()
    {
        QTest::addColumn<int>("answer"); // the build its manifest names, 500 when it fails; 0: not asked
        QTest::addColumn<int>("minutesAgo");
        QTest::addColumn<QString>("fetches");
        QTest::addColumn<QStringList>("shown"); // the status and the button; nothing: no update site
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char *name, int answer, int minutesAgo, const QString &fetches, const QString &status,
                            const QString &button, bool enabled) {
            QTest::newRow(name) << answer << minutesAgo << fetches << QStringList{status, button} << enabled;
        };
        QTest::newRow("no update site") << 0 << -1 << QString() << QStringList() << false;
        row("not checked yet", 0, -1, {}, u"Not checked yet."_s, u"Check Now"_s, true);
        row("checked before the window opened", 0, 5, {}, u"Last checked 5 minutes ago."_s, u"Check Now"_s, true);
        row("checking", 0, -1, u"/version.json"_s, u"Checking for updates…"_s, u"Check Now"_s, false);
        row("up to date", 1, -1, {}, u"Panemaker is up to date."_s, u"Check Now"_s, true);
        row("the site fails", 500, -1, {}, u"Couldn't check for updates. Try again later."_s, u"Check Now"_s, true);
        row("available", 2, -1, {}, u"Version 0.2.0 is available."_s, u"Update to 0.2.0"_s, true);
        row("installing", 2, -1, u"/Panemaker.tar.gz"_s, u"Installing the update. Panemaker will reopen by itself."_s,
            u"Update to 0.2.0"_s, false);
    }

    void updateRow()
    {
        QFETCH(int, answer);
        QFETCH(int, minutesAgo);
        QFETCH(QString, fetches);
        QFETCH(QStringList, shown);
        QFETCH(bool, enabled);
        Page page({}, shown.isEmpty() ? QString() : u"127.0.0.1:%1"_s.arg(m_site->port()));
        if (answer) {
            m_site->serve(u"/version.json"_s, manifest(*m_site, answer));
            page.updater.checkNow();
            QTRY_VERIFY(page.updater.status().kind != Updater::Status::Kind::checking);
        }
        if (minutesAgo >= 0)
            page.prefs.store().setDate(u"lastUpdateCheck"_s,
                                       QDateTime::currentDateTimeUtc().addSecs(-minutesAgo * 60 - 10));
        page.window->show(); // the time since then has to be read again
        const int requests = m_site->requests(fetches);
        if (!fetches.isEmpty())
            page.find(shown.last())->click();
        QCOMPARE(page.shownTexts(u"Launch at login"_s, u"Halves"_s),
                 (shown.isEmpty() ? shown : QStringList{autoCheck, autoCheckCaption} + shown));
        if (shown.isEmpty())
            return;
        QCOMPARE(page.find(shown.last())->isEnabled(), enabled);
        QCOMPARE(page.find<QPushButton>(shown.last())->isDefault(), answer == 2);
        if (QByteArray(QTest::currentDataTag()) == "available") {
            page.view->resize(page.view->sizeHint());
            save(page.view, u"settings-update-available"_s);
        }
        QTRY_COMPARE(m_site->requests(fetches), requests + !fetches.isEmpty());
        page.find<QCheckBox>(autoCheck)->click();
        QVERIFY(!page.prefs.checkForUpdates());
    }

    void launchAtLoginReadsTheEntry_data()
    {
        QTest::addColumn<QByteArray>("entry"); // empty: no file
        QTest::addColumn<bool>("enabled");
        const QByteArray head = "[Desktop Entry]\n", exec = "Exec=/opt/Pane% $maker/panemaker\n";
        QTest::newRow("absent") << QByteArray() << false;
        QTest::newRow("written by hand, unquoted") << head + exec << true;
        QTest::newRow("hidden") << head + exec + "Hidden=true\n" << false;
        QTest::newRow("switched off in GNOME")
            << head + "Exec=\"/opt/Pane%% \\\\$maker/panemaker\"\nX-GNOME-Autostart-enabled=false\n"
            << false;
        QTest::newRow("another program's") << head + "Exec=/usr/bin/panemaker\n" << false;
        QTest::newRow("ours in another group") << "[Other]\n" + exec << false;
    }

    void launchAtLoginReadsTheEntry()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, enabled);
        QDir().mkpath(m_config.filePath(u"autostart"_s));
        QFile file(entryPath());
        file.remove();
        QVERIFY(entry.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(entry) && file.flush()));
        QCOMPARE(Page().find<QCheckBox>(u"Launch at login"_s)->isChecked(), enabled);
    }

    void launchAtLoginWritesTheEntry()
    {
        QFile::remove(entryPath());
        Page page;
        QCheckBox *toggle = page.find<QCheckBox>(u"Launch at login"_s);
        toggle->click();
        QVERIFY(toggle->isChecked());
        QFile file(entryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("[Desktop Entry]\nType=Application\nName=Panemaker\n"
                            "Exec=\"/opt/Pane%% \\\\$maker/panemaker\"\nX-GNOME-Autostart-enabled=true\n"));
        toggle->click();
        QVERIFY(!toggle->isChecked() && !QFile::exists(entryPath()));
        QCOMPARE(page.desktop.beeps, 0);

        // A file where the folder should be: refused with a beep, and the switch stays off.
        QDir(m_config.filePath(u"autostart"_s)).removeRecursively();
        QFile blocker(m_config.filePath(u"autostart"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        toggle->click();
        QVERIFY(!toggle->isChecked());
        QCOMPARE(page.desktop.beeps, 1);
        QVERIFY(blocker.remove());
    }
};

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
