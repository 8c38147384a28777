// Shortcut tables, text and JSON.
#include "input/Shortcut.h"

#include <QHashFunctions>

#include <array>
#include <cmath>
#include <limits>

namespace panemaker {

namespace {

struct SpecialKey {
    std::uint32_t keyCode;
    const char16_t *displayName;
    char16_t menuEquivalent;
};

constexpr std::array<SpecialKey, 15> specialKeys{{
    {36, u"↩", 0x000D}, // Return
    {48, u"⇥", 0x0009}, // Tab
    {49, u"Space", 0x0020},
    {51, u"⌫", 0x0008},  // Delete (backspace)
    {53, u"⎋", 0x001B},  // Escape
    {76, u"⌤", 0x000D},  // Enter on the keypad
    {115, u"↖", 0xF729}, // Home
    {116, u"⇞", 0xF72C}, // Page Up
    {117, u"⌦", 0x007F}, // Forward Delete
    {119, u"↘", 0xF72B}, // End
    {121, u"⇟", 0xF72D}, // Page Down
    {123, u"←", 0xF702},
    {124, u"→", 0xF703},
    {125, u"↓", 0xF701},
    {126, u"↑", 0xF700},
}};

// Menu key equivalents of F1 to F20 run upwards from this private-use code point.
constexpr char16_t functionKeyF1Equivalent = 0xF704;

struct ModifierSymbol {
    std::uint32_t bit;
    std::uint64_t eventFlag;
    const char16_t *symbol;
};

// In display order.
constexpr std::array<ModifierSymbol, 4> modifierSymbols{{
    {HotKeyModifier::control, EventModifier::control, u"⌃"},
    {HotKeyModifier::option, EventModifier::option, u"⌥"},
    {HotKeyModifier::shift, EventModifier::shift, u"⇧"},
    {HotKeyModifier::command, EventModifier::command, u"⌘"},
}};

const SpecialKey *specialKey(std::uint32_t keyCode)
{
    for (const SpecialKey &key : specialKeys) {
        if (key.keyCode == keyCode)
            return &key;
    }
    return nullptr;
}

std::optional<int> functionKeyNumber(std::uint32_t keyCode)
{
    const auto &table = Shortcut::functionKeyNumbers();
    const auto found = table.find(keyCode);
    if (found == table.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::uint32_t> uint32FromJson(const QJsonValue &json)
{
    if (!json.isDouble())
        return std::nullopt;
    const double value = json.toDouble();
    if (!(value >= 0 && value <= std::numeric_limits<std::uint32_t>::max()) || std::floor(value) != value)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

Shortcut Shortcut::fromKeyEvent(std::uint16_t keyCode, std::uint64_t flags)
{
    Shortcut shortcut{keyCode, 0};
    for (const ModifierSymbol &modifier : modifierSymbols) {
        if (flags & modifier.eventFlag)
            shortcut.modifiers |= modifier.bit;
    }
    return shortcut;
}

std::uint64_t Shortcut::menuModifierFlags() const
{
    std::uint64_t flags = 0;
    for (const ModifierSymbol &modifier : modifierSymbols) {
        if (modifiers & modifier.bit)
            flags |= modifier.eventFlag;
    }
    return flags;
}

QString Shortcut::displayText(const KeyboardLayout &layout) const
{
    QString text;
    for (const ModifierSymbol &modifier : modifierSymbols) {
        if (modifiers & modifier.bit)
            text += QString::fromUtf16(modifier.symbol);
    }
    return text + keyName(keyCode, layout);
}

std::optional<QString> Shortcut::keyEquivalent(const KeyboardLayout &layout) const
{
    if (const SpecialKey *key = specialKey(keyCode))
        return QString(QChar(key->menuEquivalent));
    if (const std::optional<int> number = functionKeyNumber(keyCode))
        return QString(QChar(char16_t(functionKeyF1Equivalent + *number - 1)));
    if (const std::optional<QString> character = layoutCharacter(keyCode, layout))
        return character->toLower();
    return std::nullopt;
}

QString Shortcut::keyName(std::uint32_t keyCode, const KeyboardLayout &layout)
{
    if (const SpecialKey *key = specialKey(keyCode))
        return QString::fromUtf16(key->displayName);
    if (const std::optional<int> number = functionKeyNumber(keyCode))
        return QStringLiteral("F%1").arg(*number);
    if (const std::optional<QString> character = layoutCharacter(keyCode, layout))
        return *character;
    return QStringLiteral("#%1").arg(keyCode);
}

std::optional<QString> Shortcut::layoutCharacter(std::uint32_t keyCode, const KeyboardLayout &layout)
{
    // Layouts know 16-bit key codes only; a larger one can only come from an edited store.
    if (keyCode > std::numeric_limits<std::uint16_t>::max())
        return std::nullopt;
    const std::optional<QString> text = layout.keyText(static_cast<std::uint16_t>(keyCode));
    if (!text || text->isEmpty())
        return std::nullopt;
    return text->toUpper();
}

QJsonObject Shortcut::toJson() const
{
    return {{QStringLiteral("keyCode"), qint64(keyCode)}, {QStringLiteral("modifiers"), qint64(modifiers)}};
}

std::optional<Shortcut> Shortcut::fromJson(const QJsonValue &json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    const std::optional<std::uint32_t> keyCode = uint32FromJson(object.value(QStringLiteral("keyCode")));
    const std::optional<std::uint32_t> modifiers = uint32FromJson(object.value(QStringLiteral("modifiers")));
    if (!keyCode || !modifiers)
        return std::nullopt;
    return Shortcut{*keyCode, *modifiers};
}

const ShortcutMap &Shortcut::defaultShortcuts()
{
    constexpr std::uint32_t controlOption = HotKeyModifier::control | HotKeyModifier::option;
    constexpr std::uint32_t controlOptionCommand = controlOption | HotKeyModifier::command;
    static const ShortcutMap table{
        {SnapAction::leftHalf, {123, controlOption}},
        {SnapAction::rightHalf, {124, controlOption}},
        {SnapAction::topHalf, {126, controlOption}},
        {SnapAction::bottomHalf, {125, controlOption}},
        {SnapAction::topLeft, {32, controlOption}},        // U
        {SnapAction::topRight, {34, controlOption}},       // I
        {SnapAction::bottomLeft, {38, controlOption}},     // J
        {SnapAction::bottomRight, {40, controlOption}},    // K
        {SnapAction::firstThird, {2, controlOption}},      // D
        {SnapAction::centerThird, {3, controlOption}},     // F
        {SnapAction::lastThird, {5, controlOption}},       // G
        {SnapAction::firstTwoThirds, {14, controlOption}}, // E
        {SnapAction::lastTwoThirds, {17, controlOption}},  // T
        {SnapAction::maximize, {36, controlOption}},       // Return
        {SnapAction::center, {8, controlOption}},          // C
        {SnapAction::restore, {51, controlOption}},        // Delete (backspace)
        {SnapAction::previousDisplay, {123, controlOptionCommand}},
        {SnapAction::nextDisplay, {124, controlOptionCommand}},
    };
    return table;
}

const std::map<std::uint32_t, int> &Shortcut::functionKeyNumbers()
{
    static const std::map<std::uint32_t, int> table{
        {122, 1},  {120, 2},  {99, 3},   {118, 4},  {96, 5},   {97, 6},   {98, 7},  {100, 8}, {101, 9}, {109, 10},
        {103, 11}, {111, 12}, {105, 13}, {107, 14}, {113, 15}, {106, 16}, {64, 17}, {79, 18}, {80, 19}, {90, 20},
    };
    return table;
}

size_t qHash(const Shortcut &shortcut, size_t seed)
{
    return qHashMulti(seed, shortcut.keyCode, shortcut.modifiers);
}

} // namespace panemaker
