// AppDelegate's wiring over fakes: shortcuts follow the settings and step aside while one is
// recorded, presses snap and fill gaps, display changes are noticed once and end a gap-filling session.
#include "app/AppDelegate.h"
#include "fake/FakeClickMonitor.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "fake/FakeHotKeys.h"
#include "fake/FakeMouseMonitor.h"
#include "fake/FakeStageManager.h"
#include "fake/FakeThumbnails.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QTemporaryDir>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class AppDelegateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void launchWiresTheProgramTogether()
    {
        QTemporaryDir dir;
        Preferences prefs(dir.filePath(u"panemaker.conf"_s));
        prefs.setAskToFillGap(false);
        FakeDisplays displays;
        displays.add(u"LEFT"_s, Rect{0, 0, 1440, 900});
        FakeStageManager stage;
        const UsableArea usable(displays, stage);
        FakeDesktop desktop;
        FakeHotKeys keys;
        FakeThumbnails thumbnails;
        FakeClickMonitor clicks;
        FakeMouseMonitor mouse;
        LogCapture log;
        AppDelegate delegate(
            prefs,
            AppDelegate::Platform{desktop, displays, usable, desktop, desktop, keys, stage, thumbnails, clicks, mouse},
            u"/opt/panemaker"_s);
        delegate.applicationDidFinishLaunching();
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

        Q_EMIT displays.changed(); // the same frames
        QVERIFY(delegate.gapFiller().isSessionRunning());
        displays.add(u"RIGHT"_s, Rect{1440, 0, 1920, 1080});
        Q_EMIT displays.changed();
        Q_EMIT displays.changed();
        QCOMPARE(log.events().filter(u"Displays changed"_s), QStringList{u"Displays changed: 2 now"_s});
        QCOMPARE(log.events().filter(u"Gap picker closed"_s),
                 QStringList{u"Gap picker closed: cancelled (0 previews)"_s});
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
