// The virtual key code table and the modifier conversions, without an X server.
#include "platform/x11/KeyTable.h"
#include "input/Shortcut.h"

#include <QSet>
#include <QTest>

#include <map>

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
            QVERIFY2(!used.contains(*keycode), qPrintable(QString::number(code)));
            used.insert(*keycode);
            QCOMPARE(virtualKeyCode(*keycode), std::optional<std::uint16_t>(code));
        }
        for (const auto &[code, number] : Shortcut::functionKeyNumbers())
            QVERIFY2(xKeycode(code), qPrintable(QStringLiteral("F%1").arg(number)));
        for (const auto &[action, shortcut] : Shortcut::defaultShortcuts())
            QVERIFY2(xKeycode(shortcut.keyCode), qPrintable(QString::number(shortcut.keyCode)));
    }

    // X keycodes are Linux evdev codes plus 8; the Function key, gaps in the virtual codes and
    // codes beyond 16 bits have none.
    void keycodes()
    {
        const std::map<std::uint32_t, std::optional<xcb_keycode_t>> keycodes{
            {0, 38}, {123, 113}, {111, 96}, {63, std::nullopt}, {52, std::nullopt}, {0x10000, std::nullopt}};
        for (const auto &[virtualCode, keycode] : keycodes)
            QCOMPARE(xKeycode(virtualCode), keycode);
    }

    // Command is Super (Mod4), Option is Alt (Mod1); lock keys (Caps, Num and Scroll Lock on
    // Mod2, Mod3 or Mod5), mouse buttons and bits that are no modifier fall away.
    void modifiersMapBothWays()
    {
        using Mask = std::uint16_t;
        QCOMPARE(xModifierMask(0x1800), Mask(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
        QCOMPARE(xModifierMask(0x1900), Mask(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4));
        QCOMPARE(xModifierMask(0x0A00), Mask(XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT));
        QCOMPARE(xModifierMask(0xffffffff),
                 Mask(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT));
        QCOMPARE(hotKeyModifiers(0xffff), 0x1B00u);
        for (std::uint32_t combination = 0; combination < 16; ++combination) {
            const std::uint32_t modifiers = (combination & 1 ? 0x100 : 0) | (combination & 2 ? 0x200 : 0)
                                            | (combination & 4 ? 0x800 : 0) | (combination & 8 ? 0x1000 : 0);
            QCOMPARE(hotKeyModifiers(xModifierMask(modifiers)), modifiers);
        }
    }
};

QTEST_GUILESS_MAIN(KeyTableTest)
#include "KeyTableTest.moc"
