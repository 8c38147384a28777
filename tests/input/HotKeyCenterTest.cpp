// HotKeyCenter over a fake hot key service: numbering, failures, re-registration, presses.
#include "input/HotKeyCenter.h"
#include "fake/FakeHotKeys.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class HotKeyCenterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void registersDefaultsAsNumbersOneToEighteen()
    {
        FakeHotKeys keys;
        HotKeyCenter center(keys);
        LogCapture log;
        center.registerShortcuts(Shortcut::defaultShortcuts());
        QList<std::uint32_t> expected;
        for (std::uint32_t n = 1; n <= 18; ++n)
            expected.append(n);
        QCOMPARE(keys.numbers(), expected);
        QCOMPARE(log.events(), QStringList{u"Registered 18 shortcuts; failed: "_s});
    }

    void numbersDoNotDependOnEarlierActions()
    {
        FakeHotKeys keys;
        HotKeyCenter center(keys);
        center.registerShortcuts({{SnapAction::nextDisplay, Shortcut{124, 0x1900}}});
        QCOMPARE(keys.numbers(), QList<std::uint32_t>{18});
    }

    void refusedCombinationsAreListedAndTheRestWork()
    {
        FakeHotKeys keys;
        keys.taken = {Shortcut::defaultShortcuts().at(SnapAction::topHalf),
                      Shortcut::defaultShortcuts().at(SnapAction::center)};
        HotKeyCenter center(keys);
        LogCapture log;
        center.registerShortcuts(Shortcut::defaultShortcuts());
        QCOMPARE(center.registeredCount(), 16);
        QCOMPARE(log.events(), QStringList{u"Registered 16 shortcuts; failed: topHalf=10, center=10"_s});
    }

    void emptyMapRegistersNothing()
    {
        FakeHotKeys keys;
        HotKeyCenter center(keys);
        LogCapture log;
        center.registerShortcuts({});
        QVERIFY(keys.live.empty());
        QCOMPARE(log.events(), QStringList{u"Registered 0 shortcuts; failed: "_s});
    }

    void aSecondRegistrationReplacesTheFirst()
    {
        FakeHotKeys keys;
        HotKeyCenter center(keys);
        center.registerShortcuts(Shortcut::defaultShortcuts());
        center.registerShortcuts({{SnapAction::center, Shortcut{8, 0x100}}});
        QCOMPARE(keys.numbers(), QList<std::uint32_t>{15});
        center.unregisterAll();
        QVERIFY(keys.live.empty());
    }

    void pressesReportTheirAction()
    {
        FakeHotKeys keys;
        HotKeyCenter center(keys);
        QList<SnapAction> pressed;
        center.onPress = [&](SnapAction action) { pressed.append(action); };
        center.installHandler();
        center.installHandler();
        QCOMPARE(keys.installs, 1);
        center.registerShortcuts({{SnapAction::rightHalf, Shortcut{124, 0x1800}}});
        LogCapture log;
        keys.handler(2);
        keys.handler(3); // not registered: a stale press
        QCOMPARE(pressed, QList<SnapAction>{SnapAction::rightHalf});
        QCOMPARE(log.all(), QStringList{u"Shortcut pressed: rightHalf"_s});
    }

    void failedHandlerInstallIsLoggedAndRetried()
    {
        FakeHotKeys keys;
        keys.installStatus = -9;
        HotKeyCenter center(keys);
        LogCapture log;
        center.installHandler();
        QCOMPARE(log.errors(), QStringList{u"Hot key handler install failed: -9"_s});
        keys.installStatus = 0;
        center.installHandler();
        QCOMPARE(keys.installs, 2);
        QVERIFY(keys.handler);
    }
};

QTEST_GUILESS_MAIN(HotKeyCenterTest)
#include "HotKeyCenterTest.moc"
