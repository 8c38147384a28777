// Preferences: loading, write-through and the shortcut edits.
#include "input/Preferences.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace panemaker {

namespace {

const QString askToFillGapKey = QStringLiteral("askToFillGap");
const QString showPreviewsKey = QStringLiteral("showPreviews");
const QString dragToSnapKey = QStringLiteral("dragToSnap");
const QString windowGapKey = QStringLiteral("windowGap");
const QString checkForUpdatesKey = QStringLiteral("checkForUpdates");
const QString shortcutsKey = QStringLiteral("shortcuts");
const QString hasLaunchedKey = QStringLiteral("hasLaunched");

// The blob is all or nothing: any member that is not a shortcut spoils it. Members named
// after no action are passed over, and actions it does not name have no shortcut.
std::optional<ShortcutMap> decodeShortcuts(const QByteArray &blob)
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

} // namespace

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
// user changes a shortcut.
ShortcutMap Preferences::loadShortcuts() const
{
    const std::optional<QByteArray> blob = m_store.dataValue(shortcutsKey);
    if (!blob)
        return Shortcut::defaultShortcuts();
    return decodeShortcuts(*blob).value_or(Shortcut::defaultShortcuts());
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
