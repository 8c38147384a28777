// Preferences: loading, write-through and the shortcut edits.
#include "input/Preferences.h"

#include "platform/Log.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

namespace panemaker {

namespace {

const QString askToFillGapKey = QStringLiteral("askToFillGap");
const QString showPreviewsKey = QStringLiteral("showPreviews");
const QString dragToSnapKey = QStringLiteral("dragToSnap");
const QString windowGapKey = QStringLiteral("windowGap");
const QString checkForUpdatesKey = QStringLiteral("checkForUpdates");
const QString shortcutsKey = QStringLiteral("shortcuts");
const QString hasLaunchedKey = QStringLiteral("hasLaunched");

} // namespace

// The blob is all or nothing: any member that is not a shortcut spoils it. Members named
// after no action are passed over, and actions it does not name have no shortcut.
std::optional<ShortcutMap> Preferences::decodeShortcuts(const QByteArray &blob)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(blob, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    ShortcutMap shortcuts;
    for (auto member = object.begin(); member != object.end(); ++member) {
        const std::optional<Shortcut> shortcut = Shortcut::fromJson(member.value());
        if (!shortcut)
            return std::nullopt;
        if (const std::optional<SnapAction> action = SnapAction::fromRawValue(member.key()))
            shortcuts[*action] = *shortcut;
    }
    return shortcuts;
}

Preferences::Preferences(const QString &path, QObject *parent) : QObject(parent), m_store(path)
{
    m_store.registerDefaults({
        {askToFillGapKey, true},
        {showPreviewsKey, true},
        {dragToSnapKey, true},
        {windowGapKey, 0.0},
        {checkForUpdatesKey, true},
    });
    m_askToFillGap = m_store.boolValue(askToFillGapKey);
    m_showPreviews = m_store.boolValue(showPreviewsKey);
    m_dragToSnap = m_store.boolValue(dragToSnapKey);
    m_windowGap = m_store.doubleValue(windowGapKey);
    m_checkForUpdates = m_store.boolValue(checkForUpdatesKey);

    // Written at once, so that a run that ends abnormally still counts as the first.
    m_isFirstLaunch = !m_store.boolValue(hasLaunchedKey);
    m_store.setBool(hasLaunchedKey, true);

    m_shortcuts = loadShortcuts();
}

Preferences &Preferences::shared()
{
    static Preferences instance(userSettingsPath());
    return instance;
}

QString Preferences::userSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/panemaker/panemaker.conf");
}

// Falling back to the defaults writes nothing: the file keeps what it holds until the
// user changes a shortcut, and a copy of it is kept aside for good.
ShortcutMap Preferences::loadShortcuts()
{
    if (!m_store.contains(shortcutsKey))
        return Shortcut::defaultShortcuts();
    const std::optional<QByteArray> blob = m_store.dataValue(shortcutsKey);
    const std::optional<ShortcutMap> decoded = blob ? decodeShortcuts(*blob) : std::nullopt;
    if (!decoded) {
        const std::optional<QString> aside = m_store.keepCopy();
        Log::error(QStringLiteral("The shortcuts in the settings file %1 can't be read; using the defaults%2")
                       .arg(m_store.path(), aside ? QStringLiteral(" (kept the file as %1)").arg(*aside) : QString()));
        return Shortcut::defaultShortcuts();
    }
    // One key can only do one thing: the first action in the usual order keeps it.
    ShortcutMap shortcuts;
    for (const auto &assigned : *decoded) {
        const auto holder = std::find_if(shortcuts.begin(), shortcuts.end(),
                                         [&](const auto &entry) { return entry.second == assigned.second; });
        if (holder == shortcuts.end())
            shortcuts.insert(assigned);
        else
            Log::error(QStringLiteral("The shortcut of %1 is also %2's; only %2 keeps it")
                           .arg(assigned.first.rawValue(), holder->first.rawValue()));
    }
    return shortcuts;
}

void Preferences::assignSwitch(bool &field, bool value, void (Preferences::*changed)(bool), const QString &key)
{
    field = value;
    Q_EMIT(this->*changed)(value);
    m_store.setBool(key, value);
}

void Preferences::setAskToFillGap(bool value)
{
    assignSwitch(m_askToFillGap, value, &Preferences::askToFillGapChanged, askToFillGapKey);
}

void Preferences::setShowPreviews(bool value)
{
    assignSwitch(m_showPreviews, value, &Preferences::showPreviewsChanged, showPreviewsKey);
}

void Preferences::setDragToSnap(bool value)
{
    assignSwitch(m_dragToSnap, value, &Preferences::dragToSnapChanged, dragToSnapKey);
}

void Preferences::setCheckForUpdates(bool value)
{
    assignSwitch(m_checkForUpdates, value, &Preferences::checkForUpdatesChanged, checkForUpdatesKey);
}

void Preferences::setWindowGap(double value)
{
    m_windowGap = value;
    Q_EMIT windowGapChanged(value);
    m_store.setDouble(windowGapKey, value);
}

void Preferences::setShortcuts(const ShortcutMap &value)
{
    m_shortcuts = value;
    Q_EMIT shortcutsChanged(m_shortcuts);
    saveShortcuts();
}

void Preferences::setShortcut(std::optional<Shortcut> shortcut, SnapAction action)
{
    ShortcutMap edited = m_shortcuts;
    if (shortcut) {
        std::erase_if(edited, [&](const auto &entry) { return entry.first != action && entry.second == *shortcut; });
        edited[action] = *shortcut;
    } else {
        edited.erase(action);
    }
    setShortcuts(edited);
}

void Preferences::restoreDefaultShortcuts()
{
    setShortcuts(Shortcut::defaultShortcuts());
}

void Preferences::saveShortcuts()
{
    QJsonObject object;
    for (const auto &[action, shortcut] : m_shortcuts)
        object.insert(action.rawValue(), shortcut.toJson());
    m_store.setData(shortcutsKey, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace panemaker
