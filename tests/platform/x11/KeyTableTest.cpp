// The virtual key code table and the modifier conversions, without an X server.
#include "platform/x11/KeyTable.h"
#include "input/Shortcut.h"

#include <QSet>
#include <QTest>

using namespace panemaker;
using namespace panemaker::x11;

class KeyTableTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyKeyRoundTripsThroughItsOwnXKeycode()
    {
        QSet<xcb_keycode_t> used;
        for (std::uint32_t code = 0; code <= 0x2ffff; ++code) {
            const std::optional<xcb_keycode_t> keycode = xKeycode(code);
            if (!keycode)
                continue;
            QVERIFY2(*keycode >= 8, qPrintable(QString::number(code)));
            QVERIFY2(!used.contains(*keycode), qPrintable(QString::number(code)));
            used.insert(*keycode);
            QCOMPARE(virtualKeyCode(*keycode), std::optional<std::uint16_t>(code));
        }
        for (int keycode = 0; keycode <= 255; ++keycode) {
            if (const std::optional<std::uint16_t> code = virtualKeyCode(xcb_keycode_t(keycode)))
                QCOMPARE(xKeycode(*code), std::optional<xcb_keycode_t>(keycode));
        }
    }

    void keysTheProgramNamesAreInTheTable()
    {
        for (const auto &[code, number] : Shortcut::functionKeyNumbers())
            QVERIFY2(xKeycode(code), qPrintable(QStringLiteral("F%1").arg(number)));
        for (const auto &[action, shortcut] : Shortcut::defaultShortcuts())
            QVERIFY2(xKeycode(shortcut.keyCode), qPrintable(QString::number(shortcut.keyCode)));
    }

    void unknownCodesHaveNoKey_data()
    {
        QTest::addColumn<std::uint32_t>("virtualCode");
        QTest::addColumn<int>("keycode");
        QTest::newRow("gap in the virtual codes") << std::uint32_t(52) << 0;
        QTest::newRow("Function key") << std::uint32_t(63) << 8;
        QTest::newRow("past the table") << std::uint32_t(200) << 7;
        QTest::newRow("A plus 65536") << std::uint32_t(0x10000) << 255;
        QTest::newRow("Left plus 65536") << std::uint32_t(0x10000 + 123) << 254;
        QTest::newRow("far out") << std::uint32_t(70000) << 202;
    }
    void unknownCodesHaveNoKey()
    {
        QFETCH(std::uint32_t, virtualCode);
        QFETCH(int, keycode);
        QCOMPARE(xKeycode(virtualCode), std::nullopt);
        QCOMPARE(virtualKeyCode(xcb_keycode_t(keycode)), std::nullopt);
    }

    // Each modifier maps to its own X mask and back; lock keys, other modifiers and buttons are dropped.
    void modifiersMap_data()
    {
        QTest::addColumn<std::uint32_t>("hotKey");
        QTest::addColumn<int>("xState");
        QTest::addColumn<std::uint32_t>("expectedHotKey");
        QTest::addColumn<int>("expectedMask");
        const auto both = [](const char *name, std::uint32_t hotKey, int mask) {
            QTest::newRow(name) << hotKey << mask << hotKey << mask;
        };
        both("none", 0, 0);
        both("command", HotKeyModifier::command, XCB_MOD_MASK_4);
        both("option", HotKeyModifier::option, XCB_MOD_MASK_1);
        both("control", HotKeyModifier::control, XCB_MOD_MASK_CONTROL);
        both("shift", HotKeyModifier::shift, XCB_MOD_MASK_SHIFT);
        QTest::newRow("caps lock") << std::uint32_t(0) << int(XCB_MOD_MASK_LOCK) << std::uint32_t(0) << 0;
        QTest::newRow("num lock on mod2 with option")
            << (HotKeyModifier::option | 0x10000) << int(XCB_MOD_MASK_2 | XCB_MOD_MASK_1) << HotKeyModifier::option
            << int(XCB_MOD_MASK_1);
        QTest::newRow("mod3 and mod5 with shift")
            << (HotKeyModifier::shift | 0x400) << int(XCB_MOD_MASK_3 | XCB_MOD_MASK_5 | XCB_MOD_MASK_SHIFT)
            << HotKeyModifier::shift << int(XCB_MOD_MASK_SHIFT);
        QTest::newRow("buttons with command")
            << (HotKeyModifier::command | 0x80000000u) << int(XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_3 | XCB_MOD_MASK_4)
            << HotKeyModifier::command << int(XCB_MOD_MASK_4);
        QTest::newRow("every other bit")
            << ~(HotKeyModifier::command | HotKeyModifier::option | HotKeyModifier::control | HotKeyModifier::shift)
            << int(0xffff & ~(XCB_MOD_MASK_4 | XCB_MOD_MASK_1 | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT))
            << std::uint32_t(0) << 0;
    }
    void modifiersMap()
    {
        QFETCH(std::uint32_t, hotKey);
        QFETCH(int, xState);
        QFETCH(std::uint32_t, expectedHotKey);
        QFETCH(int, expectedMask);
        QCOMPARE(xModifierMask(hotKey), std::uint16_t(expectedMask));
        QCOMPARE(hotKeyModifiers(std::uint16_t(xState)), expectedHotKey);
    }
};

QTEST_GUILESS_MAIN(KeyTableTest)
#include "KeyTableTest.moc"
