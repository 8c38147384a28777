// AppDelegate's wiring over fakes: shortcuts follow the settings, presses snap, display
// changes are noticed once.
#include "app/AppDelegate.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeHotKeys.h"
#include "fake/FakeStageManager.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class AppDelegateTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    FakeDisplays m_displays;
    FakeStageManager m_stage;
    std::unique_ptr<UsableArea> m_usable;
    FakeDesktop m_desktop;
    FakeHotKeys m_keys;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<AppDelegate> m_delegate;

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(u"p.conf"_s));
        m_prefs = std::make_unique<Preferences>(m_dir.filePath(u"p.conf"_s));
        m_prefs->setAskToFillGap(false);
        m_displays.list.clear();
        m_displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900});
        m_usable = std::make_unique<UsableArea>(m_displays, m_stage);
        m_log = std::make_unique<LogCapture>();
        m_delegate = std::make_unique<AppDelegate>(
            *m_prefs, AppDelegate::Platform{m_desktop, m_displays, *m_usable, m_desktop, m_desktop, m_keys},
            u"/opt/panemaker"_s);
        m_delegate->applicationDidFinishLaunching();
    }

    void cleanup()
    {
        m_delegate.reset();
        m_log.reset();
    }

    void launchRegistersTheShortcutsAndSaysSo()
    {
        QCOMPARE(m_keys.live.size(), std::size_t(18));
        QCOMPARE(m_log->events(),
                 (QStringList{u"Registered 18 shortcuts; failed: "_s,
                              u"Launched /opt/panemaker: accessibility true, screen recording true, drag true"_s}));
    }

    void changedShortcutsAreRegisteredAgain()
    {
        m_prefs->setShortcut(std::nullopt, SnapAction::center);
        QCOMPARE(m_keys.live.size(), std::size_t(17));
        m_prefs->restoreDefaultShortcuts();
        QCOMPARE(m_keys.live.size(), std::size_t(18));
    }

    void aPressSnapsTheFocusedWindow()
    {
        m_desktop.add(1, Rect{100, 100, 400, 300});
        m_keys.handler(2); // rightHalf
        QCOMPARE(m_desktop.windows[1].frame, (Rect{720, 0, 720, 900}));
    }

    void displayChangesAreLoggedOnlyWhenFramesChange()
    {
        Q_EMIT m_displays.changed();
        QVERIFY(!m_log->events().last().startsWith(u"Displays changed"_s));
        m_displays.add(u"RIGHT"_s, Rect{1440, 0, 1920, 1080});
        Q_EMIT m_displays.changed();
        Q_EMIT m_displays.changed();
        QCOMPARE(m_log->events().filter(u"Displays changed"_s), QStringList{u"Displays changed: 2 now"_s});
    }
};

QTEST_GUILESS_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
