// The settings page over fakes: sections that follow the live objects, the gap slider, shortcut
// recording through key presses as the window system delivers them, and the autostart entry.
#include "app/SettingsWindow.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeKeyboardLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

struct FakeProcesses final : Processes {
    QList<std::int32_t> terminated;
    QList<RunningProcess> running() const override { return {}; }
    void terminate(std::int32_t pid) override { terminated.append(pid); }
};

struct FakeWindowManagerSettings final : WindowManagerSettings {
    QStringList opened;
    EdgeTilingState edgeTiling(const QString &) const override { return EdgeTilingState::off; }
    bool openTilingSettings(const QString &name) override
    {
        opened.append(name);
        return true;
    }
};

const QString program = u"/opt/Pane $maker/panemaker"_s;

// The whole program's side of the page, with the page in its window.
struct Page {
    explicit Page(QList<OtherSnapper> snappers = {})
    {
        layout.keys[12] = u"q"_s;
        layout.keys[13] = u"w"_s;
        view = new SettingsView({prefs, access, recorder, conflicts, launch, layout, desktop}, std::move(snappers));
        view->onQuit = [this] { ++quits; };
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

    void showActive()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    // A key press as it comes from the window system: offered to the window's shortcuts first,
    // then pressed and released on the focused widget with its native code (virtual code + 1000 here).
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers, std::uint32_t virtualKey)
    {
        QWidget *target = window->focusWidget() ? window->focusWidget() : window.get();
        if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers))
            return;
        QKeyEvent press(QEvent::KeyPress, key, modifiers, virtualKey + 1000, 0, 0);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, virtualKey + 1000, 0, 0);
        QApplication::sendEvent(target, &release);
    }

    QTemporaryDir dir;
    FakeDesktop desktop;
    FakeKeyboardLayout layout = FakeKeyboardLayout::us();
    Preferences prefs{dir.filePath(u"panemaker.conf"_s)};
    AccessibilityMonitor access{desktop};
    ShortcutRecording recorder{prefs, desktop};
    FakeProcesses processes;
    FakeWindowManagerSettings tiling;
    ConflictDetection conflicts{processes, tiling, desktop};
    LaunchAtLogin launch{program};
    SettingsView *view = nullptr;
    std::unique_ptr<SettingsWindow> window;
    int quits = 0, closes = 0;
};

void save(QWidget *widget, const QString &name)
{
    QDir().mkpath(QStringLiteral(PANEMAKER_SCREENSHOTS));
    QVERIFY(widget->grab().save(QStringLiteral(PANEMAKER_SCREENSHOTS "/") + name + u".png"_s));
}

const QString dragCaption = u"Sides for halves, corners for quarters, top to maximize, bottom for thirds."_s;
const QString gapTitle = u"Space between windows"_s;

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QCoreApplication::setApplicationVersion(u"1.4.0"_s);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
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
        QCOMPARE(page.shownTexts(tagline, u"Snapping"_s),
                 (QStringList{u"1.4.0"_s, u"No window manager found"_s,
                              u"Panemaker moves and resizes windows through an X11 window manager that supports the "
                              "Extended Window Manager Hints. Start one, or log in to an X11 session."_s,
                              u"Check Again"_s}));
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
        const QString advice = u"Turn off your window manager's own edge tiling so it doesn't fight with Panemaker."_s;
        const QString settings = u"Window Manager Settings…"_s;
        QTest::newRow("drag off hides both")
            << false << EdgeTilingState::on << QStringList{u"Alpha"_s} << QStringList{};
        QTest::newRow("tiling off, nothing else") << true << EdgeTilingState::off << QStringList{} << QStringList{};
        QTest::newRow("tiling on") << true << EdgeTilingState::on << QStringList{} << QStringList{fight, settings};
        QTest::newRow("tiling unknown, one other")
            << true << EdgeTilingState::unknown << QStringList{u"Alpha"_s}
            << QStringList{advice, settings, u"Alpha is also running and will fight with Panemaker."_s,
                           u"Quit Alpha"_s};
        QTest::newRow("two others") << true << EdgeTilingState::off << QStringList{u"Alpha"_s, u"Beta"_s}
                                    << QStringList{u"Alpha and Beta are also running and will fight with Panemaker."_s,
                                                   u"Quit Them"_s};
        QTest::newRow("three others, tiling on")
            << true << EdgeTilingState::on << QStringList{u"Alpha"_s, u"Beta"_s, u"Gamma"_s}
            << QStringList{fight, settings, u"Alpha, Beta and Gamma are also running and will fight with Panemaker."_s,
                           u"Quit Them"_s};
    }

    // Built with drag snapping on and one other tool running; the list, the tiling state and the
    // switch then change while the page is open.
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
        QList<OtherSnapper> running;
        for (const QString &name : snappers)
            running.append({std::int32_t(100 + running.size()), name});
        Q_EMIT page.conflicts.otherSnappersChanged(running);
        Q_EMIT page.conflicts.edgeTilingStateChanged(tiling);
        page.prefs.setDragToSnap(drag);
        QCOMPARE(page.shownTexts(dragCaption, gapTitle), shown);

        for (const QString &text : shown) {
            if (text.startsWith(u"Quit"_s) || text == u"Window Manager Settings…"_s)
                page.find(text)->click();
        }
        QCOMPARE(page.tiling.opened,
                 shown.contains(u"Window Manager Settings…"_s) ? QStringList{u"Openbox"_s} : QStringList{});
        QCOMPARE(page.processes.terminated.size(),
                 shown.isEmpty() || !shown.last().startsWith(u"Quit"_s) ? 0 : snappers.size());
        if (QByteArray(QTest::currentDataTag()) == "three others, tiling on") {
            page.desktop.trusted = false;
            page.access.refresh();
            page.view->setRefusedActions({SnapAction::topHalf, SnapAction::center});
            page.view->resize(page.view->sizeHint());
            save(page.view, u"settings-conflicts"_s);
        }
    }

    void gapSliderYieldsEvenValues_data()
    {
        QTest::addColumn<QList<Qt::Key>>("keys");
        QTest::addColumn<double>("gap");
        QTest::addColumn<QString>("label");
        QTest::newRow("at the left end") << QList<Qt::Key>{Qt::Key_Left} << 0.0 << u"0 pt"_s;
        QTest::newRow("one step") << QList<Qt::Key>{Qt::Key_Right} << 2.0 << u"2 pt"_s;
        QTest::newRow("page steps") << QList<Qt::Key>{Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_Right} << 6.0
                                    << u"6 pt"_s;
        QTest::newRow("the right end") << QList<Qt::Key>{Qt::Key_End} << 24.0 << u"24 pt"_s;
        QTest::newRow("back from the end") << QList<Qt::Key>{Qt::Key_End, Qt::Key_Left} << 22.0 << u"22 pt"_s;
    }

    void gapSliderYieldsEvenValues()
    {
        QFETCH(QList<Qt::Key>, keys);
        QFETCH(double, gap);
        QFETCH(QString, label);
        Page page;
        auto *slider = page.view->findChild<QSlider *>();
        for (Qt::Key key : keys)
            QTest::keyClick(slider, key);
        QCOMPARE(page.prefs.windowGap(), gap);
        QCOMPARE(page.shownTexts(gapTitle, u"General"_s), QStringList{label});
        // And the other way: a gap set elsewhere moves the slider.
        page.prefs.setWindowGap(10);
        QCOMPARE(page.shownTexts(gapTitle, u"General"_s), QStringList{u"10 pt"_s});
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(page.prefs.windowGap(), 12.0);
    }

    void previewsFollowAskToFill()
    {
        Page page;
        QCheckBox *previews = page.find<QCheckBox>(u"Show window previews"_s);
        page.find(u"Ask which window fills the gap"_s)->click();
        QVERIFY(!page.prefs.askToFillGap());
        QVERIFY(!previews->isEnabled());
        page.prefs.setAskToFillGap(true);
        QVERIFY(page.find<QCheckBox>(u"Ask which window fills the gap"_s)->isChecked());
        QVERIFY(previews->isEnabled());
        previews->click();
        QVERIFY(!page.prefs.showPreviews());
    }

    void recordingTakesTheWindowsKeys_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<std::uint32_t>("virtualKey");
        QTest::addColumn<QString>("field"); // afterwards; "" when the action has no shortcut
        QTest::addColumn<bool>("recording");
        const Qt::KeyboardModifiers none{}, control = Qt::ControlModifier;
        QTest::newRow("control option left") << SnapAction(SnapAction::topHalf) << Qt::Key_Left
                                             << (control | Qt::AltModifier) << 123u << u"⌃⌥←"_s << false;
        QTest::newRow("control W records instead of closing")
            << SnapAction(SnapAction::maximize) << Qt::Key_W << control << 13u << u"⌃W"_s << false;
        QTest::newRow("control Q records instead of quitting")
            << SnapAction(SnapAction::center) << Qt::Key_Q << control << 12u << u"⌃Q"_s << false;
        QTest::newRow("super shift F5") << SnapAction(SnapAction::nextDisplay) << Qt::Key_F5
                                        << (Qt::MetaModifier | Qt::ShiftModifier) << 96u << u"⇧⌘F5"_s << false;
        QTest::newRow("escape keeps") << SnapAction(SnapAction::topLeft) << Qt::Key_Escape << none << 53u << u"⌃⌥U"_s
                                      << false;
        QTest::newRow("delete clears") << SnapAction(SnapAction::restore) << Qt::Key_Backspace << none << 51u
                                       << QString() << false;
        QTest::newRow("control alone waits for the key")
            << SnapAction(SnapAction::leftHalf) << Qt::Key_Control << control << 59u << u"Type shortcut…"_s << true;
        QTest::newRow("space beeps and goes on, not clicking the field")
            << SnapAction(SnapAction::rightHalf) << Qt::Key_Space << none << 49u << u"Type shortcut…"_s << true;
    }

    void recordingTakesTheWindowsKeys()
    {
        QFETCH(SnapAction, action);
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(std::uint32_t, virtualKey);
        QFETCH(QString, field);
        QFETCH(bool, recording);
        Page page;
        page.showActive();
        QAbstractButton *button = page.find(action.rawValue());
        QWidget *clear = page.find(action.rawValue() + u"-clear"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), u"Type shortcut…"_s);
        QCOMPARE(button->palette().color(QPalette::ButtonText), page.view->palette().color(QPalette::Highlight));
        QVERIFY(!clear->isVisibleTo(page.view));
        if (QByteArray(QTest::currentDataTag()) == "control W records instead of closing")
            save(page.view, u"settings-recording"_s);

        page.press(key, modifiers, virtualKey);
        QCOMPARE(page.recorder.action().has_value(), recording);
        QCOMPARE(page.desktop.beeps, recording && key != Qt::Key_Control ? 1 : 0);
        QCOMPARE(button->text(), field.isEmpty() ? u"Record Shortcut"_s : field);
        QCOMPARE(button->palette().color(QPalette::ButtonText),
                 page.view->palette().color(recording         ? QPalette::Highlight
                                            : field.isEmpty() ? QPalette::PlaceholderText
                                                              : QPalette::ButtonText));
        QCOMPARE(clear->isVisibleTo(page.view), !recording && !field.isEmpty());
        QCOMPARE(page.closes + page.quits, 0);
        QVERIFY(page.window->isVisible());
        if (recording)
            return;
        // Once the recording is over, the window's own keys work again.
        page.press(Qt::Key_W, Qt::ControlModifier, 13);
        QCOMPARE(page.closes, 1);
        QVERIFY(!page.window->isVisible());
    }

    void clearRefusedAndRestore()
    {
        Page page;
        QAbstractButton *center = page.find(u"center"_s);
        page.find(u"center-clear"_s)->click();
        QVERIFY(!page.prefs.shortcuts().contains(SnapAction::center));
        QCOMPARE(center->text(), u"Record Shortcut"_s);
        QVERIFY(!page.find(u"center-clear"_s)->isVisibleTo(page.view));

        page.view->setRefusedActions({SnapAction::topHalf});
        QVERIFY(page.find<QLabel>(u"topHalf-refused"_s)->isVisibleTo(page.view));
        QVERIFY(!page.find<QLabel>(u"leftHalf-refused"_s)->isVisibleTo(page.view));
        page.view->setRefusedActions({});
        QVERIFY(!page.find<QLabel>(u"topHalf-refused"_s)->isVisibleTo(page.view));

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
        QCOMPARE(page.window->size(), QSize(500, 660));
        QCOMPARE(page.window->minimumSize(), page.window->maximumSize());
        page.showActive();
        save(page.window.get(), u"settings-window"_s);
        page.press(Qt::Key_Q, Qt::ControlModifier, 12);
        QCOMPARE(page.quits, 1);
        page.find(u"Quit Panemaker"_s)->click();
        QCOMPARE(page.quits, 2);
        page.press(Qt::Key_M, Qt::ControlModifier, 46);
        QCOMPARE(page.closes, 1);
        page.showActive();
        page.window->setWindowState(Qt::WindowMinimized);
        QTRY_COMPARE(page.closes, 2);
        QVERIFY(!page.window->isVisible());
    }

    void launchAtLoginReadsTheEntry_data()
    {
        QTest::addColumn<QByteArray>("entry"); // empty: no file
        QTest::addColumn<bool>("enabled");
        const QByteArray head = "[Desktop Entry]\nType=Application\nName=Panemaker\n";
        QTest::newRow("absent") << QByteArray() << false;
        QTest::newRow("written by hand, unquoted") << head + "Exec=/opt/Pane $maker/panemaker\n" << true;
        QTest::newRow("hidden") << head + "Exec=/opt/Pane $maker/panemaker\nHidden=true\n" << false;
        QTest::newRow("switched off in GNOME")
            << head + "Exec=\"/opt/Pane \\\\$maker/panemaker\"\nX-GNOME-Autostart-enabled=false\n"
            << false;
        QTest::newRow("another program's") << head + "Exec=/usr/bin/panemaker\n" << false;
        QTest::newRow("ours in another group") << QByteArray("[Other]\nExec=/opt/Pane $maker/panemaker\n") << false;
    }

    void launchAtLoginReadsTheEntry()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, enabled);
        const QString path = m_config.filePath(u"autostart/panemaker.desktop"_s);
        QDir().mkpath(m_config.filePath(u"autostart"_s));
        QFile::remove(path);
        if (!entry.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(entry);
        }
        Page page;
        QCOMPARE(page.find<QCheckBox>(u"Launch at login"_s)->isChecked(), enabled);
    }

    void launchAtLoginWritesTheEntry()
    {
        const QString path = m_config.filePath(u"autostart/panemaker.desktop"_s);
        QFile::remove(path);
        Page page;
        QCheckBox *toggle = page.find<QCheckBox>(u"Launch at login"_s);
        toggle->click();
        QVERIFY(toggle->isChecked());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("[Desktop Entry]\nType=Application\nName=Panemaker\n"
                            "Exec=\"/opt/Pane \\\\$maker/panemaker\"\nX-GNOME-Autostart-enabled=true\n"));
        toggle->click();
        QVERIFY(!toggle->isChecked());
        QVERIFY(!QFile::exists(path));
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
