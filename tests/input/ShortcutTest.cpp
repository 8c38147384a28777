// Shortcut: building from key events, display text, menu key equivalents, JSON.
#include "input/Shortcut.h"
#include "fake/FakeKeyboardLayout.h"
#include "support/Printing.h"

#include <QJsonDocument>
#include <QSet>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;

namespace panemaker {
inline char *toString(const Shortcut &s)
{
    return qstrdup(qPrintable(QStringLiteral("{%1, 0x%2}").arg(s.keyCode).arg(s.modifiers, 0, 16)));
}
} // namespace panemaker

class ShortcutTest : public QObject {
    Q_OBJECT

    const FakeKeyboardLayout us = FakeKeyboardLayout::us();
    const FakeKeyboardLayout noLayout;

private Q_SLOTS:
    void defaultsShowAsOnAUSKeyboard()
    {
        const QMap<SnapAction::Value, QString> shown{
            {SnapAction::leftHalf, u"⌃⌥←"_s},         {SnapAction::rightHalf, u"⌃⌥→"_s},
            {SnapAction::topHalf, u"⌃⌥↑"_s},          {SnapAction::bottomHalf, u"⌃⌥↓"_s},
            {SnapAction::topLeft, u"⌃⌥U"_s},          {SnapAction::topRight, u"⌃⌥I"_s},
            {SnapAction::bottomLeft, u"⌃⌥J"_s},       {SnapAction::bottomRight, u"⌃⌥K"_s},
            {SnapAction::firstThird, u"⌃⌥D"_s},       {SnapAction::centerThird, u"⌃⌥F"_s},
            {SnapAction::lastThird, u"⌃⌥G"_s},        {SnapAction::firstTwoThirds, u"⌃⌥E"_s},
            {SnapAction::lastTwoThirds, u"⌃⌥T"_s},    {SnapAction::maximize, u"⌃⌥↩"_s},
            {SnapAction::center, u"⌃⌥C"_s},           {SnapAction::restore, u"⌃⌥⌫"_s},
            {SnapAction::previousDisplay, u"⌃⌥⌘←"_s}, {SnapAction::nextDisplay, u"⌃⌥⌘→"_s},
        };
        const ShortcutMap &defaults = Shortcut::defaultShortcuts();
        QCOMPARE(defaults.size(), size_t(18));
        QSet<Shortcut> distinct;
        for (const auto &[action, shortcut] : defaults) {
            QCOMPARE(shortcut.displayText(us), shown.value(action));
            distinct.insert(shortcut);
        }
        QCOMPARE(distinct.size(), 18);
    }

    void keyEventBuildsTheHotKeyMask()
    {
        const Shortcut pressed = Shortcut::fromKeyEvent(123, EventModifier::control | EventModifier::option);
        QCOMPARE(pressed, Shortcut::defaultShortcuts().at(SnapAction::leftHalf));
        // Caps Lock (0x10000), Function (0x800000) and device bits fall away.
        QCOMPARE(Shortcut::fromKeyEvent(0, EventModifier::command | 0x10000 | 0x800000 | 0x1),
                 (Shortcut{0, HotKeyModifier::command}));
    }

    void modifiersAlwaysShowInOneOrder_data()
    {
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<QString>("text");
        using namespace EventModifier;
        QTest::newRow("all four") << quint64(command | shift | control | option) << u"⌃⌥⇧⌘A"_s;
        QTest::newRow("command shift") << quint64(shift | command) << u"⇧⌘A"_s;
        QTest::newRow("option command") << quint64(command | option) << u"⌥⌘A"_s;
        QTest::newRow("control shift") << quint64(shift | control) << u"⌃⇧A"_s;
        QTest::newRow("none") << quint64(0) << u"A"_s;
    }
    void modifiersAlwaysShowInOneOrder()
    {
        QFETCH(quint64, flags);
        QFETCH(QString, text);
        const Shortcut shortcut = Shortcut::fromKeyEvent(0, flags);
        QCOMPARE(shortcut.displayText(us), text);
        QCOMPARE(shortcut.menuModifierFlags(), flags);
    }

    void bitsOutsideTheFourModifiersAreIgnored()
    {
        const Shortcut stored{0, HotKeyModifier::control | 0x1 | 0x80 | 0x400 | 0x80000000};
        QCOMPARE(stored.displayText(us), (u"⌃A"_s));
        QCOMPARE(stored.menuModifierFlags(), EventModifier::control);
    }

    void keyNamesAndMenuEquivalents_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("equivalent"); // empty: none
        QTest::newRow("space") << 49u << u"Space"_s << u" "_s;
        QTest::newRow("return") << 36u << u"↩"_s << u"\r"_s;
        QTest::newRow("keypad enter") << 76u << u"⌤"_s << u"\r"_s;
        QTest::newRow("escape") << 53u << u"⎋"_s << u"\x1b"_s;
        QTest::newRow("forward delete") << 117u << u"⌦"_s << u"\x7f"_s;
        QTest::newRow("up arrow") << 126u << u"↑"_s << QString(QChar(0xF700));
        QTest::newRow("page down") << 121u << u"⇟"_s << QString(QChar(0xF72D));
        QTest::newRow("F1") << 122u << u"F1"_s << QString(QChar(0xF704));
        QTest::newRow("F12") << 111u << u"F12"_s << QString(QChar(0xF70F));
        QTest::newRow("F20") << 90u << u"F20"_s << QString(QChar(0xF717));
        QTest::newRow("letter from the layout") << 0u << u"A"_s << u"a"_s;
        QTest::newRow("key the layout lacks") << 10u << u"#10"_s << QString();
        QTest::newRow("beyond 16 bits") << 65536u << u"#65536"_s << QString();
    }
    void keyNamesAndMenuEquivalents()
    {
        QFETCH(quint32, keyCode);
        QFETCH(QString, name);
        QFETCH(QString, equivalent);
        // The layout types "a" on key 0, so a key code that wrapped to 16 bits would show A.
        QCOMPARE(Shortcut::keyName(keyCode, us), name);
        const std::optional<QString> menu = Shortcut{keyCode, 0}.keyEquivalent(us);
        QCOMPARE(menu.value_or(QString()), equivalent);
        QCOMPARE(menu.has_value(), !equivalent.isEmpty());
    }

    void withoutALayoutLettersFallBackToTheKeyCode()
    {
        QCOMPARE(Shortcut::keyName(0, noLayout), u"#0"_s);
        QCOMPARE((Shortcut{0, 0}.keyEquivalent(noLayout)), std::nullopt);
        QCOMPARE(Shortcut::keyName(111, noLayout), u"F12"_s);
        QCOMPARE(Shortcut::keyName(123, noLayout), u"←"_s);
    }

    void layoutTextIsUpperCasedInFull()
    {
        FakeKeyboardLayout layout;
        layout.keys = {{27, u"ß"_s}, {28, u"é"_s}, {29, QString()}};
        QCOMPARE(Shortcut::keyName(27, layout), u"SS"_s);
        QCOMPARE(Shortcut::keyName(28, layout), u"É"_s);
        QCOMPARE((Shortcut{28, 0}.keyEquivalent(layout)), u"é"_s);
        QCOMPARE(Shortcut::keyName(29, layout), u"#29"_s); // an empty translation counts as none
    }

    void jsonRoundTrips()
    {
        const Shortcut shortcut{4294967295u, 0x1900};
        const QByteArray text = QJsonDocument(shortcut.toJson()).toJson(QJsonDocument::Compact);
        QCOMPARE(text, QByteArray(R"({"keyCode":4294967295,"modifiers":6400})"));
        QCOMPARE(Shortcut::fromJson(QJsonDocument::fromJson(text).object()), shortcut);
    }

    void jsonMustHoldTwoUnsigned32BitNumbers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << QByteArray(R"({"keyCode":0,"modifiers":0})") << true;
        QTest::newRow("extra members are ignored") << QByteArray(R"({"keyCode":1,"modifiers":2,"x":[]})") << true;
        QTest::newRow("missing modifiers") << QByteArray(R"({"keyCode":1})") << false;
        QTest::newRow("missing keyCode") << QByteArray(R"({"modifiers":1})") << false;
        QTest::newRow("negative") << QByteArray(R"({"keyCode":-1,"modifiers":0})") << false;
        QTest::newRow("2^32") << QByteArray(R"({"keyCode":4294967296,"modifiers":0})") << false;
        QTest::newRow("huge") << QByteArray(R"({"keyCode":1e300,"modifiers":0})") << false;
        QTest::newRow("fraction") << QByteArray(R"({"keyCode":1.5,"modifiers":0})") << false;
        QTest::newRow("string") << QByteArray(R"({"keyCode":"1","modifiers":0})") << false;
        QTest::newRow("null") << QByteArray(R"({"keyCode":null,"modifiers":0})") << false;
        QTest::newRow("bool") << QByteArray(R"({"keyCode":true,"modifiers":0})") << false;
        QTest::newRow("nested object") << QByteArray(R"({"keyCode":{"keyCode":1},"modifiers":0})") << false;
    }
    void jsonMustHoldTwoUnsigned32BitNumbers()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        const QJsonDocument document = QJsonDocument::fromJson(json);
        QVERIFY(document.isObject());
        QCOMPARE(Shortcut::fromJson(document.object()).has_value(), valid);
    }
};

QTEST_GUILESS_MAIN(ShortcutTest)
#include "ShortcutTest.moc"
