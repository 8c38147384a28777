// The key table and the keyboard layout against the keymap of a real X server.
#include "platform/x11/X11KeyboardLayout.h"
#include "desktop/TestDesktop.h"
#include "platform/x11/KeyTable.h"

#include <QTest>

#include <xkbcommon/xkbcommon-x11.h>

using namespace panemaker;
using namespace panemaker::x11;
using namespace Qt::StringLiterals;

namespace {

// The keysym the US layout puts on the key of each virtual key code from 0 on, or <its XKB key
// name> where the US layout has none of its own (xkeyboard-config puts XF86Tools and the like on
// F13 to F20); "-" where the code names no key.
const QString physicalKeys =
    u"a s d f h g z x c v less b q w e r y t 1 2 3 4 6 5 equal 9 7 minus 8 0 bracketright o u "      // 0
    u"bracketleft i p Return l j apostrophe k semicolon backslash comma slash n m period Tab space " // 33
    u"grave BackSpace - Escape Super_R Super_L Shift_L Caps_Lock Alt_L Control_L Shift_R Alt_R "     // 50
    u"Control_R - <FK17> KP_Delete - KP_Multiply - KP_Add - Num_Lock XF86AudioRaiseVolume "          // 62
    u"XF86AudioLowerVolume XF86AudioMute KP_Divide KP_Enter - KP_Subtract <FK18> <FK19> KP_Equal "   // 73
    u"KP_Insert KP_End KP_Down KP_Next KP_Left KP_Begin KP_Right KP_Home <FK20> KP_Up KP_Prior "     // 82
    u"<AE13> <AB11> <JPCM> F5 F6 F7 F3 F8 F9 - F11 - <FK13> <FK16> <FK14> - F10 Menu F12 - <FK15> "  // 93
    u"Insert Home Prior Delete F4 End F2 Next F1 Left Right Down Up"_s;                              // 114

const QString nothing = u"(nothing)"_s;

} // namespace

class X11KeyboardLayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<XConnection> m_x;
    std::unique_ptr<X11KeyboardLayout> m_layout;
    QString m_layouts = u"us"_s;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>();
        m_desktop->start();
        QString error;
        m_x = XConnection::open(m_desktop->displayName().toLocal8Bit(), &error);
        QVERIFY2(m_x, qPrintable(error));
        m_layout = std::make_unique<X11KeyboardLayout>(*m_x);
    }

    // On the server's default US keymap; the layout switches below come after.
    void everyTableKeyIsItsPhysicalKey()
    {
        const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
            xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES), xkb_context_unref);
        const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
            xkb_x11_keymap_new_from_device(context.get(), m_x->xcb(), xkb_x11_get_core_keyboard_device_id(m_x->xcb()),
                                           XKB_KEYMAP_COMPILE_NO_FLAGS),
            xkb_keymap_unref);
        QVERIFY(keymap);
        const QStringList keys = physicalKeys.split(u' ');
        for (std::uint32_t code = 0; code <= 0x1ffff; ++code) {
            const QString expected = keys.value(code, u"-"_s);
            const std::optional<xcb_keycode_t> keycode = xKeycode(code);
            const xkb_keysym_t *symbols = nullptr;
            char name[64] = "-";
            if (keycode && expected.startsWith(u'<'))
                std::snprintf(name, sizeof name, "<%s>", xkb_keymap_key_get_name(keymap.get(), *keycode));
            else if (keycode && xkb_keymap_key_get_syms_by_level(keymap.get(), *keycode, 0, 0, &symbols) == 1)
                xkb_keysym_get_name(symbols[0], name, sizeof name);
            QCOMPARE(u"%1 is %2"_s.arg(code).arg(QLatin1StringView(name)), u"%1 is %2"_s.arg(code).arg(expected));
            if (keycode)
                QCOMPARE(virtualKeyCode(*keycode), std::optional<std::uint16_t>(code));
        }
    }

    // Command is Super (Mod4), Option is Alt (Mod1); lock keys (Caps, Num and Scroll Lock on
    // Mod2, Mod3 or Mod5), mouse buttons and bits that are no modifier fall away.
    void modifiersMapBothWays()
    {
        for (std::uint32_t modifier : {0x100u, 0x200u, 0x800u, 0x1000u})
            QCOMPARE(hotKeyModifiers(xModifierMask(modifier)), modifier);
        QCOMPARE(xModifierMask(0x0300), std::uint16_t(XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT));
        QCOMPARE(hotKeyModifiers(0xffff), 0x1B00u);
    }

    // Each layout's first row differs from what the previous layout typed, so a keymap that
    // was not read again fails it.
    void keysTypeTheFirstLatinLayoutsText_data()
    {
        QTest::addColumn<QString>("layouts");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("text");
        QTest::newRow("us: A") << u"us"_s << 0 << u"a"_s;
        QTest::newRow("us: Space") << u"us"_s << 49 << u" "_s;
        QTest::newRow("us: Return types a control character") << u"us"_s << 36 << nothing;
        QTest::newRow("us: keypad 5 without Num Lock") << u"us"_s << 87 << nothing;
        QTest::newRow("us: unknown code") << u"us"_s << 52 << nothing;
        QTest::newRow("ru,fr: A is French Q") << u"ru,fr"_s << 0 << u"q"_s;
        QTest::newRow("ru: no Latin layout") << u"ru"_s << 0 << nothing;
        QTest::newRow("de,us: Y is German Z") << u"de,us"_s << 16 << u"z"_s;
        QTest::newRow("us again: Y") << u"us"_s << 16 << u"y"_s;
    }
    void keysTypeTheFirstLatinLayoutsText()
    {
        QFETCH(QString, layouts);
        QFETCH(int, keyCode);
        QFETCH(QString, text);
        if (layouts != std::exchange(m_layouts, layouts))
            QVERIFY2(m_desktop->run(u"setxkbmap"_s, {u"-layout"_s, layouts}), qPrintable(layouts));
        // The change reaches the layout through the event loop.
        TestDesktop::waitUntil([&] { return m_layout->keyText(std::uint16_t(keyCode)).value_or(nothing) == text; });
        QCOMPARE(m_layout->keyText(std::uint16_t(keyCode)).value_or(nothing), text);
    }
};

QTEST_GUILESS_MAIN(X11KeyboardLayoutTest)
#include "X11KeyboardLayoutTest.moc"
