// Shortcut: building from key events, display text, menu key equivalents. Its JSON form is
// checked where it is stored, in PreferencesTest.
#include "input/Shortcut.h"
#include "fake/FakeKeyboardLayout.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

class ShortcutTest : public QObject {
    Q_OBJECT

    const FakeKeyboardLayout us = FakeKeyboardLayout::us();

private Q_SLOTS:
    // In the order of the actions; no two alike.
    void defaultsAreTheControlOptionKeysOfAUSKeyboard()
    {
        QStringList shown;
        for (const auto &[action, shortcut] : Shortcut::defaultShortcuts())
            shown.append(shortcut.displayText(us));
        QCOMPARE(shown.join(u' '), u"⌃⌥← ⌃⌥→ ⌃⌥↑ ⌃⌥↓ ⌃⌥U ⌃⌥I ⌃⌥J ⌃⌥K ⌃⌥D ⌃⌥F ⌃⌥G ⌃⌥E ⌃⌥T ⌃⌥↩ ⌃⌥C ⌃⌥⌫ ⌃⌥⌘← ⌃⌥⌘→"_s);
    }

    // Modifier flags become the hot key mask and show as ⌃⌥⇧⌘; other flags and mask bits (from
    // an edited file) are dropped. Each pair of modifiers is split by some row.
    void modifiersShowInOneOrder_data()
    {
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<QString>("text");
        using namespace EventModifier;
        QTest::newRow("all four") << quint64(command | shift | control | option) << 0x1B00u << u"⌃⌥⇧⌘A"_s;
        QTest::newRow("control option") << quint64(control | option) << 0x1800u << u"⌃⌥A"_s;
        QTest::newRow("control shift") << quint64(control | shift) << 0x1200u << u"⌃⇧A"_s;
        QTest::newRow("caps lock, function, device bits")
            << quint64(option | 0x10000 | 0x800000 | 0x1) << 0x800u << u"⌥A"_s;
        QTest::newRow("none") << quint64(0) << 0u << u"A"_s;
    }
    void modifiersShowInOneOrder()
    {
        QFETCH(quint64, flags);
        QFETCH(quint32, mask);
        QFETCH(QString, text);
        QCOMPARE(Shortcut::fromKeyEvent(0, flags).modifiers, mask);
        const Shortcut stored{0, mask | 0x80000481};
        QCOMPARE(stored.displayText(us), text);
        QCOMPARE(stored.menuModifierFlags(), flags & 0x1E0000); // the four modifier flags
    }

    // Without a layout only the special keys and F1 to F20 have a name and a menu key
    // equivalent (its code point in hex), in key code order.
    void keysNamedWithoutALayout()
    {
        const FakeKeyboardLayout none;
        QStringList named;
        for (std::uint32_t keyCode = 0; keyCode < 128; ++keyCode) {
            const QString name = Shortcut::keyName(keyCode, none);
            const std::optional<QString> equivalent = Shortcut{keyCode, 0}.keyEquivalent(none);
            if (name != u'#' + QString::number(keyCode) || equivalent)
                named.append(name + u'=' + (equivalent ? QString::number(equivalent->front().unicode(), 16) : u"-"_s));
        }
        QCOMPARE(named.join(u' '), u"↩=d ⇥=9 Space=20 ⌫=8 ⎋=1b F17=f714 ⌤=d F18=f715 F19=f716 F20=f717 F5=f708 F6=f709 "
                                   u"F7=f70a F3=f706 F8=f70b F9=f70c F11=f70e F13=f710 F16=f713 F14=f711 F10=f70d "
                                   u"F12=f70f F15=f712 ↖=f729 ⇞=f72c ⌦=7f F4=f707 ↘=f72b F2=f705 ⇟=f72d F1=f704 "
                                   u"←=f702 →=f703 ↓=f701 ↑=f700"_s);
    }

    void keysNamedByTheLayout_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("equivalent"); // empty: none
        QTest::newRow("letter") << 0u << u"A"_s << u"a"_s;
        QTest::newRow("upper-cased in full") << 27u << u"SS"_s << u"ss"_s;
        QTest::newRow("key that types nothing") << 29u << u"#29"_s << QString();
        // The layout types "a" on key 0: a key code cut to 16 bits would show A.
        QTest::newRow("beyond 16 bits") << 65536u << u"#65536"_s << QString();
    }
    void keysNamedByTheLayout()
    {
        QFETCH(quint32, keyCode);
        QFETCH(QString, name);
        QFETCH(QString, equivalent);
        FakeKeyboardLayout layout = us; // and keys that type more than one letter, or nothing
        layout.keys.insert({{27, u"ß"_s}, {29, QString()}});
        QCOMPARE(Shortcut::keyName(keyCode, layout), name);
        const std::optional<QString> menu = Shortcut{keyCode, 0}.keyEquivalent(layout);
        QCOMPARE(menu.value_or(QString()), equivalent);
    }
};

QTEST_GUILESS_MAIN(ShortcutTest)
#include "ShortcutTest.moc"
