// The shell as a person meets it, on Openbox with tint2's system tray: this test process is the
// program, so that it can find its own widgets, while the clicks and keys are real ones that reach
// it through the X server.
#include "app/Program.h"
#include "app/SettingsView.h"
#include "app/SettingsWindow.h"
#include "desktop/TestDesktop.h"
#include "support/HttpsServer.h"
#include "support/LogCapture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace {

constexpr xcb_keysym_t up = 0xff52, down = 0xff54, left = 0xff51, returnKey = 0xff0d;
const QList<xcb_keysym_t> controlAlt{0xffe3, 0xffe9};

// Another client that holds a key combination on the root window, as window managers hold theirs.
class KeyHolder final {
public:
    KeyHolder(const QString &display, xcb_keycode_t key, std::uint16_t modifiers)
        : m_connection(xcb_connect(qPrintable(display), nullptr))
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_generic_error_t *error =
            xcb_request_check(m_connection, xcb_grab_key_checked(m_connection, 0, root, modifiers, key,
                                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        m_held = !error;
        std::free(error);
    }
    ~KeyHolder() { xcb_disconnect(m_connection); }
    bool held() const { return m_held; }

private:
    xcb_connection_t *m_connection;
    bool m_held = false;
};

} // namespace

class ShellTest : public QObject {
    Q_OBJECT

public:
    explicit ShellTest(TestDesktop &desktop) : m_desktop(desktop) {}

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        m_x = x11::XConnection::open({}, &error);
        QVERIFY2(m_x, qPrintable(error));
        m_x->deliverEvents();
        m_prefs = std::make_unique<Preferences>(Preferences::userSettingsPath());
        // Openbox's test configuration leaves Ctrl+Alt+Left free: another client takes it, as most window
        // managers' own configurations do.
        m_holder = std::make_unique<KeyHolder>(m_desktop.displayName(), *m_desktop.keycode(left),
                                               XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
        QVERIFY(m_holder->held());
        // The program's folder names an update site, which has nothing to offer until a test says so.
        m_site = test::HttpsServer::startTrusted(m_bundle.filePath(u"certificates"_s), &error);
        QVERIFY2(m_site, qPrintable(error));
        QDir().mkpath(m_bundle.filePath(u"share/panemaker"_s));
        QFile info(m_bundle.filePath(u"share/panemaker/info.json"_s));
        QVERIFY(info.open(QIODevice::WriteOnly));
        info.write(
            u"{\"version\": \"0.1.0\", \"build\": \"1\", \"site\": \"127.0.0.1:%1\"}"_s.arg(m_site->port()).toUtf8());
        info.close();
        m_program = std::make_unique<Program>(*m_x, *m_prefs, m_bundle.path(), m_bundle.filePath(u"bin/panemaker"_s));
        delegate().applicationDidFinishLaunching();
        QVERIFY(m_desktop.waitUntil([&] { return m_log.events().filter(u"Menu bar item frame"_s).size() == 1; }));
        m_client = m_desktop.startClient();
    }

    void cleanupTestCase()
    {
        m_program.reset();
        m_x.reset();
    }

    void theTrayIconIsEmbeddedAndItsMenuSnaps()
    {
        const QString line = m_log.events().filter(u"Menu bar item frame"_s).constFirst();
        QVERIFY2(line.endsWith(u"visible: true"_s), qPrintable(line));
        const xcb_window_t window = m_client->openActive(u"menu"_s, {u"x=600"_s, u"y=200"_s});
        QVERIFY(openMenu());
        QVERIFY(m_desktop.screenshot(u"tray-menu"_s));
        // The held shortcut is the first thing the menu says.
        const QList<QAction *> items = delegate().statusMenu().actions();
        QCOMPARE(items.constFirst()->text(), u"Shortcuts in Use by Another Program…"_s);
        QCOMPARE(items.constFirst()->toolTip(),
                 u"Left Half: another program holds the shortcut. Choose another in Settings."_s);
        QVERIFY(m_desktop.pressKey(down) && m_desktop.pressKey(down) && m_desktop.pressKey(returnKey));
        QVERIFY(m_desktop.waitUntil([&] { return m_desktop.outerFrame(window) == QRect(0, 0, 720, 870); }));
        QCOMPARE(m_desktop.activeWindow(), window);
        QVERIFY(m_desktop.waitUntil([&] { return delegate().gapFiller().isSessionRunning(); }));
    }

    // The settings window comes from the menu and shows the refusal; a shortcut recorded there is stored and
    // works as a hot key at once; one freed by the other program recovers when the window opens again.
    void settingsRecordAShortcutThatWorksAtOnce()
    {
        QVERIFY(openMenu()); // over the gap picker, which gives way
        QVERIFY(!delegate().gapFiller().isSessionRunning());
        QVERIFY(m_desktop.pressKey(up) && m_desktop.pressKey(up) && m_desktop.pressKey(returnKey));
        QVERIFY(m_desktop.waitUntil([&] { return delegate().settingsWindow() && m_desktop.shownWindow(title); }));
        QCOMPARE(refusalCaptions(), 1);
        QVERIFY(m_desktop.screenshot(u"settings-window"_s));

        auto *record = delegate().settingsWindow()->findChild<QAbstractButton *>(u"firstThird"_s);
        QCOMPARE(record->text(), u"⌃⌥D"_s);
        delegate().settingsWindow()->findChild<QScrollArea *>()->ensureWidgetVisible(record);
        click(record);
        QVERIFY(m_desktop.waitUntil([&] { return delegate().recording().action() == SnapAction::firstThird; }));
        QCOMPARE(record->text(), u"Type shortcut…"_s);
        QVERIFY(m_desktop.screenshot(u"settings-recorder"_s));
        QVERIFY(m_desktop.pressKey('y', controlAlt));
        QVERIFY(m_desktop.waitUntil([&] { return !delegate().recording().action(); }));
        QCOMPARE(record->text(), u"⌃⌥Y"_s);
        const QSettings stored(Preferences::userSettingsPath(), QSettings::IniFormat);
        const auto shortcuts = Preferences::decodeShortcuts(stored.value(u"shortcuts"_s).toByteArray());
        QVERIFY(shortcuts);
        QCOMPARE(shortcuts->at(SnapAction::firstThird), (Shortcut{16, 0x1800}));

        QVERIFY(m_desktop.pressKey('w', {0xffe3})); // Ctrl+W closes the window
        QVERIFY(m_desktop.waitUntil([&] { return !delegate().settingsWindow(); }));
        const xcb_window_t window = m_client->openActive(u"recorded"_s, {u"x=300"_s, u"y=300"_s});
        QVERIFY(m_desktop.pressKey('y', controlAlt));
        QVERIFY(m_desktop.waitUntil([&] { return m_desktop.outerFrame(window) == QRect(0, 0, 480, 870); }));

        m_holder.reset();
        delegate().showSettings();
        QVERIFY(m_desktop.waitUntil([&] { return m_desktop.shownWindow(title).has_value(); }));
        QCOMPARE(refusalCaptions(), 0);
        QVERIFY(delegate().refusedActions().isEmpty());
        delegate().settingsWindow()->close();
    }

    // A newer build on the site puts a dot on the tray icon and leads the menu.
    void anOfferedUpdateLeadsTheMenu()
    {
        m_site->serve(u"/version.json"_s, {200, test::manifest(2, m_site->url(u"/Panemaker.tar.gz"_s))});
        delegate().updater().checkNow();
        QVERIFY(m_desktop.waitUntil([&] { return delegate().updater().release().has_value(); }));
        QVERIFY(openMenu());
        QVERIFY(m_desktop.screenshot(u"tray-menu-update"_s));
        QCOMPARE(delegate().statusMenu().actions().constFirst()->text(), u"Update to Panemaker 0.2.0"_s);
        delegate().statusMenu().close();
    }

private:
    static inline const QString title = u"Panemaker Settings"_s;

    AppDelegate &delegate() { return m_program->delegate(); }

    void click(QWidget *widget)
    {
        const QPoint centre = widget->mapToGlobal(widget->rect().center());
        m_desktop.movePointer(centre.x(), centre.y());
        m_desktop.pressButton();
        m_desktop.releaseButton();
    }

    // Clicks the tray icon where the program said it is; true once the menu is up and takes keys.
    bool openMenu()
    {
        const QString line = m_log.events().filter(u"Menu bar item frame"_s).constFirst();
        const QStringList numbers = line.section(u'(', 1).section(u')', 0, 0).split(u", "_s);
        const QRect icon(numbers.value(0).toInt(), numbers.value(1).toInt(), numbers.value(2).toInt(),
                         numbers.value(3).toInt());
        m_desktop.movePointer(icon.center().x(), icon.center().y());
        m_desktop.pressButton();
        m_desktop.releaseButton();
        QMenu &menu = delegate().statusMenu();
        if (!m_desktop.waitUntil([&] { return menu.isVisible(); }) || !QTest::qWaitForWindowExposed(&menu))
            return false;
        QTest::qWait(100); // the menu takes the keyboard once it is mapped
        return true;
    }

    int refusalCaptions()
    {
        int shown = 0;
        for (QLabel *label : delegate().settingsWindow()->findChildren<QLabel *>())
            shown += label->text() == u"In use by another program"_s && label->isVisible();
        return shown;
    }

    TestDesktop &m_desktop;
    LogCapture m_log;
    QTemporaryDir m_bundle;
    std::unique_ptr<test::HttpsServer> m_site;
    std::unique_ptr<x11::XConnection> m_x;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<KeyHolder> m_holder;
    std::unique_ptr<Program> m_program;
    TestClient *m_client = nullptr;
};

// The desktop comes first: the application connects to its display as it is made.
int main(int argc, char **argv)
{
    TestDesktop desktop(TestDesktop::Session::openboxWithTint2);
    desktop.start();
    const QProcessEnvironment environment = desktop.environment();
    for (const QString &name : environment.keys())
        qputenv(qPrintable(name), environment.value(name).toLocal8Bit());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    ShellTest test(desktop);
    return QTest::qExec(&test, argc, argv);
}

#include "ShellTest.moc"
