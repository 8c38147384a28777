// The key table and the keyboard layout against the keymap of a real X server.
#include "platform/x11/X11KeyboardLayout.h"
#include "desktop/TestDesktop.h"
#include "platform/x11/KeyTable.h"

#include <QScopeGuard>
#include <QTest>

#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

using namespace panemaker;
using namespace panemaker::x11;
using namespace Qt::StringLiterals;

namespace {

struct PhysicalKey {
    std::uint16_t virtualCode;
    // The keysym the US layout puts on the key, or <its XKB key name> where the US layout has
    // none of its own (xkeyboard-config puts XF86Tools and the like on F13 to F20).
    const char *key;
};

// A grid reads better than one key a line.
// clang-format off
constexpr PhysicalKey physicalKeys[]{
    {0, "a"},           {1, "s"},          {2, "d"},          {3, "f"},           {4, "h"},
    {5, "g"},           {6, "z"},          {7, "x"},          {8, "c"},           {9, "v"},
    {10, "less"},       {11, "b"},         {12, "q"},         {13, "w"},          {14, "e"},
    {15, "r"},          {16, "y"},         {17, "t"},         {18, "1"},          {19, "2"},
    {20, "3"},          {21, "4"},         {22, "6"},         {23, "5"},          {24, "equal"},
    {25, "9"},          {26, "7"},         {27, "minus"},     {28, "8"},          {29, "0"},
    {30, "bracketright"}, {31, "o"},       {32, "u"},         {33, "bracketleft"}, {34, "i"},
    {35, "p"},          {36, "Return"},    {37, "l"},         {38, "j"},          {39, "apostrophe"},
    {40, "k"},          {41, "semicolon"}, {42, "backslash"}, {43, "comma"},      {44, "slash"},
    {45, "n"},          {46, "m"},         {47, "period"},    {48, "Tab"},        {49, "space"},
    {50, "grave"},      {51, "BackSpace"}, {53, "Escape"},    {54, "Super_R"},    {55, "Super_L"},
    {56, "Shift_L"},    {57, "Caps_Lock"}, {58, "Alt_L"},     {59, "Control_L"},  {60, "Shift_R"},
    {61, "Alt_R"},      {62, "Control_R"}, {64, "<FK17>"},    {65, "KP_Delete"},  {67, "KP_Multiply"},
    {69, "KP_Add"},     {71, "Num_Lock"},  {72, "XF86AudioRaiseVolume"}, {73, "XF86AudioLowerVolume"},
    {74, "XF86AudioMute"}, {75, "KP_Divide"}, {76, "KP_Enter"}, {78, "KP_Subtract"}, {79, "<FK18>"},
    {80, "<FK19>"},     {81, "KP_Equal"},  {82, "KP_Insert"}, {83, "KP_End"},     {84, "KP_Down"},
    {85, "KP_Next"},    {86, "KP_Left"},   {87, "KP_Begin"},  {88, "KP_Right"},   {89, "KP_Home"},
    {90, "<FK20>"},     {91, "KP_Up"},     {92, "KP_Prior"},  {93, "<AE13>"},     {94, "<AB11>"},
    {95, "<JPCM>"},     {96, "F5"},        {97, "F6"},        {98, "F7"},         {99, "F3"},
    {100, "F8"},        {101, "F9"},       {103, "F11"},      {105, "<FK13>"},    {106, "<FK16>"},
    {107, "<FK14>"},    {109, "F10"},      {110, "Menu"},     {111, "F12"},       {113, "<FK15>"},
    {114, "Insert"},    {115, "Home"},     {116, "Prior"},    {117, "Delete"},    {118, "F4"},
    {119, "End"},       {120, "F2"},       {121, "Next"},     {122, "F1"},        {123, "Left"},
    {124, "Right"},     {125, "Down"},     {126, "Up"},
};
// clang-format on

const QString nothing = u"(nothing)"_s;

QString shown(const std::optional<QString> &text)
{
    return text.value_or(nothing);
}

} // namespace

class X11KeyboardLayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDesktop> m_desktop;
    std::unique_ptr<XConnection> m_x;
    std::unique_ptr<X11KeyboardLayout> m_layout;
    QString m_layouts = u"us"_s;

    bool setLayouts(const QString &layouts)
    {
        if (!m_desktop->run(u"setxkbmap"_s, {u"-layout"_s, layouts}))
            return false;
        m_layouts = layouts;
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("PANEMAKER_FATAL_X_ERRORS", "1");
        m_desktop = std::make_unique<TestDesktop>();
        QString error;
        QVERIFY2(m_desktop->start(&error), qPrintable(error));
        m_x = XConnection::open(m_desktop->displayName().toLocal8Bit(), &error);
        QVERIFY2(m_x, qPrintable(error));
        m_layout = std::make_unique<X11KeyboardLayout>(*m_x);
    }

    void cleanupTestCase()
    {
        m_layout.reset();
        m_x.reset();
        m_desktop.reset();
    }

    // On the server's default US keymap; the layout switches below come after.
    void everyTableKeyIsItsPhysicalKey()
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_desktop->connection());
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
        xkb_keymap *keymap = xkb_x11_keymap_new_from_device(
            context, m_x->xcb(), xkb_x11_get_core_keyboard_device_id(m_x->xcb()), XKB_KEYMAP_COMPILE_NO_FLAGS);
        const auto release = qScopeGuard([&] {
            xkb_keymap_unref(keymap);
            xkb_context_unref(context);
            xcb_key_symbols_free(symbols);
        });
        QVERIFY(keymap);

        int checked = 0;
        for (const PhysicalKey &key : physicalKeys) {
            const QByteArray expected(key.key);
            const QByteArray where = QByteArray::number(key.virtualCode) + " should be " + expected;
            const std::optional<xcb_keycode_t> keycode = xKeycode(key.virtualCode);
            QVERIFY2(keycode, where.constData());
            if (expected.startsWith('<')) {
                const char *name = xkb_keymap_key_get_name(keymap, *keycode);
                QVERIFY2(name && "<" + QByteArray(name) + ">" == expected, where + " but is " + name);
            } else {
                const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(symbols, *keycode, 0);
                char found[64] = "";
                xkb_keysym_get_name(keysym, found, sizeof found);
                QVERIFY2(keysym == xkb_keysym_from_name(key.key, XKB_KEYSYM_NO_FLAGS), where + " but is " + found);
            }
            QCOMPARE(virtualKeyCode(*keycode), std::optional<std::uint16_t>(key.virtualCode));
            ++checked;
        }
        int inTable = 0;
        for (std::uint32_t code = 0; code <= 0xffff; ++code)
            inTable += xKeycode(code).has_value();
        QCOMPARE(checked, inTable);
    }

    // Each layout's first row differs from what the previous layout typed, so a keymap that
    // was not read again fails it.
    void keysTypeTheFirstLatinLayoutsText_data()
    {
        QTest::addColumn<QString>("layouts");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("text");
        QTest::newRow("us: A") << u"us"_s << 0 << u"a"_s;
        QTest::newRow("us: U") << u"us"_s << 32 << u"u"_s;
        QTest::newRow("us: 1") << u"us"_s << 18 << u"1"_s;
        QTest::newRow("us: ISO key") << u"us"_s << 10 << u"<"_s;
        QTest::newRow("us: Space") << u"us"_s << 49 << u" "_s;
        QTest::newRow("us: Left types nothing") << u"us"_s << 123 << nothing;
        QTest::newRow("us: Return types a control character") << u"us"_s << 36 << nothing;
        QTest::newRow("us: keypad 5 without Num Lock") << u"us"_s << 87 << nothing;
        QTest::newRow("us: unknown code") << u"us"_s << 52 << nothing;
        QTest::newRow("ru,fr: A is French Q") << u"ru,fr"_s << 0 << u"q"_s;
        QTest::newRow("ru,fr: M is French comma") << u"ru,fr"_s << 46 << u","_s;
        QTest::newRow("ru,us: A") << u"ru,us"_s << 0 << u"a"_s;
        QTest::newRow("ru: no Latin layout") << u"ru"_s << 0 << nothing;
        QTest::newRow("ru: digits too") << u"ru"_s << 18 << nothing;
        QTest::newRow("de,us: Y is German Z") << u"de,us"_s << 16 << u"z"_s;
        QTest::newRow("us again: Y") << u"us"_s << 16 << u"y"_s;
    }
    void keysTypeTheFirstLatinLayoutsText()
    {
        QFETCH(QString, layouts);
        QFETCH(int, keyCode);
        QFETCH(QString, text);
        if (layouts != m_layouts)
            QVERIFY2(setLayouts(layouts), qPrintable(layouts));
        // The change reaches the layout through the event loop.
        TestDesktop::waitUntil([&] { return shown(m_layout->keyText(std::uint16_t(keyCode))) == text; });
        QCOMPARE(shown(m_layout->keyText(std::uint16_t(keyCode))), text);
    }
};

QTEST_GUILESS_MAIN(X11KeyboardLayoutTest)
#include "X11KeyboardLayoutTest.moc"
