// HotKeyCenter over a fake hot key service: numbering, failures, re-registration, presses.
#include "input/HotKeyCenter.h"
#include "fake/FakeHotKeys.h"
#include "support/LogCapture.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(panemaker::ShortcutMap)

class HotKeyCenterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each registration replaces the one before. An action's number is its place among all
    // actions plus one, whatever has a shortcut; its key and mask go to the platform as they
    // are. A combination held elsewhere is listed with the platform's status.
    void registration_data()
    {
        QTest::addColumn<ShortcutMap>("shortcuts");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QList<std::uint32_t>>("numbers");
        QTest::addColumn<QString>("line");
        const QList<std::uint32_t> allButTopHalfAndCenter{1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18};
        QTest::newRow("the defaults") << Shortcut::defaultShortcuts() << 10 << allButTopHalfAndCenter
                                      << u"Registered 16 shortcuts; failed: topHalf=10, center=10"_s;
        QTest::newRow("refused without a status") << Shortcut::defaultShortcuts() << 0 << allButTopHalfAndCenter
                                                  << u"Registered 16 shortcuts; failed: topHalf=0, center=0"_s;
        QTest::newRow("nextDisplay alone") << ShortcutMap{{SnapAction::nextDisplay, {124, 0x80001901}}} << 10
                                           << QList<std::uint32_t>{18} << u"Registered 1 shortcuts; failed: "_s;
        QTest::newRow("none") << ShortcutMap() << 10 << QList<std::uint32_t>() << u"Registered 0 shortcuts; failed: "_s;
    }
    void registration()
    {
        QFETCH(ShortcutMap, shortcuts);
        QFETCH(int, refusal);
        QFETCH(QList<std::uint32_t>, numbers);
        QFETCH(QString, line);
        FakeHotKeys keys;
        keys.taken = {{126, 0x1800}, {8, 0x1800}}; // topHalf's and center's
        keys.refusal = refusal;
        HotKeyCenter center(keys);
        center.registerShortcuts(Shortcut::defaultShortcuts());
        LogCapture log;
        center.registerShortcuts(shortcuts);
        QCOMPARE(keys.numbers(), numbers);
        for (const auto &[handle, registered] : keys.live)
            QCOMPARE(registered.first, shortcuts.at(SnapAction::all()[registered.second - 1]));
        QCOMPARE(log.events(), QStringList{line});
        // What was refused outlives the hot keys, so that the settings can still show it.
        center.unregisterAll();
        QCOMPARE(center.refusedActions().size(), qsizetype(shortcuts.size()) - numbers.size());
    }

    // The handler is installed once it works; presses of numbers not registered (any more) are
    // ignored without a word.
    void pressesReportTheirAction()
    {
        FakeHotKeys keys;
        HotKeyCenter center(keys);
        QList<SnapAction> pressed;
        center.onPress = [&](SnapAction action) { pressed.append(action); };
        LogCapture log;
        keys.installStatus = -9;
        center.installHandler();
        QCOMPARE(log.errors(), QStringList{u"Hot key handler install failed: -9"_s});
        keys.installStatus = 0;
        center.installHandler();
        center.installHandler();
        QCOMPARE(keys.installs, 2);
        center.registerShortcuts(Shortcut::defaultShortcuts());
        center.registerShortcuts({{SnapAction::rightHalf, Shortcut{124, 0x1800}}});
        keys.handler(2);
        keys.handler(3); // topHalf, registered before
        QCOMPARE(pressed, QList<SnapAction>{SnapAction::rightHalf});
        QCOMPARE(log.events().mid(2), QStringList{u"Shortcut pressed: rightHalf"_s});
    }
};

QTEST_GUILESS_MAIN(HotKeyCenterTest)
#include "HotKeyCenterTest.moc"
